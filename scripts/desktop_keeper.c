// Holds a hidden window on Wine's default desktop for as long as a test session runs. Wine ends
// the desktop's process when no program has had a window for a while, and a 32-bit program that
// has to start it again waits about 20 s for it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)previous;
    (void)commandLine;
    (void)show;
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "orvflash desktop keeper";
    if (!RegisterClassA(&windowClass) || !CreateWindowA(windowClass.lpszClassName, "", WS_POPUP, 0,
                                                        0, 1, 1, NULL, NULL, instance, NULL)) {
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}
