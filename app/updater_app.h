// The application object: runs the updater window and ends the program when it closes.
#ifndef ORVFLASH_APP_UPDATER_APP_H
#define ORVFLASH_APP_UPDATER_APP_H

#include "afx_winapp.h"

class CUpdaterApp : public CWinAppEx {
public:
    BOOL InitInstance() override;
};

extern CUpdaterApp theApp;

#endif
