// Resource identifiers shared by orvflash.rc and the C++ code.
#ifndef ORVFLASH_RES_RESOURCE_H
#define ORVFLASH_RES_RESOURCE_H

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_UPDATER 102
#define IDR_MAINFRAME 130

#define IDC_UPDATE 1000
#define IDC_PROGRESS 1001

// System menu command ids must keep the low four bits clear.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // ORVFLASH_RES_RESOURCE_H
