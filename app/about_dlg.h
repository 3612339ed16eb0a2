// The About box, opened from the system menu.
#ifndef ORVFLASH_APP_ABOUT_DLG_H
#define ORVFLASH_APP_ABOUT_DLG_H

#include "afx_dialog.h"
#include "afx_msgmap.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()
};

#endif
