// The application object and the entry point's view of it.
#ifndef ORV_AFX_WINAPP_H
#define ORV_AFX_WINAPP_H

#include <windows.h>

class CWnd;

class CWinApp {
public:
    // Registers this object as the application; the program defines exactly one, statically.
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // WinMain calls this once. A dialog-based program does all its work here and returns FALSE.
    virtual BOOL InitInstance() { return TRUE; }
    // The program's exit code, asked for once InitInstance has returned FALSE.
    virtual int ExitInstance() { return 0; }

    // Nothing to do: the program keeps no settings in the registry.
    void SetRegistryKey(LPCSTR) {}

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance;
};

class CWinAppEx : public CWinApp {};

// The registered application, or null before its constructor has run.
CWinApp* AfxGetApp();
// The program's module: where dialog templates and strings are loaded from.
HINSTANCE AfxGetInstanceHandle();
// Nothing to set up: the program hosts no ActiveX controls.
inline void AfxEnableControlContainer() {}

#endif
