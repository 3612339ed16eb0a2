// The entry point and the application registration. CWinApp's constructor lives here so that any
// program with an application object links WinMain in from the static library.
#include "afx_winapp.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleA(nullptr)) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

CWinApp* AfxGetApp() {
    return g_app;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_app ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (g_app == nullptr) {
        return 1;
    }
    g_app->m_hInstance = instance;
    // A dialog-based program returns FALSE once its dialog has closed. TRUE would mean "run the
    // message loop", which no window of this program needs after InitInstance, so both end here.
    g_app->InitInstance();
    return g_app->ExitInstance();
}
