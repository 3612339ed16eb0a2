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

namespace {

// Later loads search the program's folder and the system's, never the current folder or PATH,
// where another account could plant a library. Looked up: not every Windows this runs on has it.
void HardenLibrarySearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
    const auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
        kernel ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr));
    if (set != nullptr) {
        set(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HardenLibrarySearch();
    if (g_app == nullptr) {
        return 1;
    }
    g_app->m_hInstance = instance;
    // A dialog-based program returns FALSE once its dialog has closed. TRUE would mean "run the
    // message loop", which no window of this program needs after InitInstance, so both end here.
    g_app->InitInstance();
    return g_app->ExitInstance();
}
