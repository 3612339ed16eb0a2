// Everything the program uses from the framework layer.
#ifndef ORV_AFXWIN_H
#define ORV_AFXWIN_H

#include "afx_string.h"
#include "afx_rect.h"
#include "afx_menu.h"
#include "afx_msgmap.h"
#include "afx_wnd.h"
#include "afx_dc.h"
#include "afx_edit.h"
#include "afx_dialog.h"
#include "afx_file.h"
#include "afx_winapp.h"

#endif
