// What scripts/run.sh starts where there is no display: drives the demo folder's orvflash.exe as a
// person would, through one update run and then one whose Kavix refuses a page write, and saves a
// screenshot of the window at each moment worth seeing. Run it in a Wine virtual desktop, which
// draws the title bars a bare Xvfb lacks.
//   demo_driver DEMO_FOLDER
// Writes DEMO_FOLDER\screenshots\{start,programming,finished,failed}.png and its report to
// DEMO_FOLDER\demo.txt, whose last line is "demo: done" when both runs went as they should (Wine's
// explorer, which starts it in the virtual desktop, does not pass its exit status on).
#include <windows.h>

#include <commctrl.h>
#include <gdiplus.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounded_wait.h"
#include "resource.h"
#include "window_view.h"

namespace {

using kavix_test::FindBox;
using kavix_test::Send;
using kavix_test::WindowText;

constexpr DWORD kRunTimeoutMs = 120000;

std::string demoFolder;
std::FILE* report = nullptr;

void WaitFor(const std::string& what, const std::function<bool()>& condition,
             DWORD timeoutMs = 30000) {
    if (!WaitUntil(condition, timeoutMs, 20)) {
        throw std::runtime_error("waited in vain for " + what);
    }
}

// The pixels of the screen where `rect` lies, as a bitmap of its own.
HBITMAP Capture(const RECT& rect) {
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

std::vector<char> Pixels(HBITMAP bitmap) {
    BITMAP info = {};
    GetObject(bitmap, sizeof info, &info);
    std::vector<char> pixels(std::size_t(info.bmWidthBytes) * info.bmHeight);
    GetBitmapBits(bitmap, LONG(pixels.size()), pixels.data());
    return pixels;
}

// The demo folder's orvflash.exe, with this process's environment, ended on destruction.
class Updater {
public:
    Updater() {
        const std::string program = demoFolder + "\\orvflash.exe";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessA(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                            demoFolder.c_str(), &startup, &process)) {
            throw std::runtime_error("could not start " + program);
        }
        WaitFor("the updater window", [&] {
            return (window = FindBox(process.dwProcessId, kUpdaterCaption)) != nullptr;
        });
        WaitForLine(kWelcome[7]);  // the last line of the welcome
    }
    ~Updater() {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    void WaitForLine(const std::string& line, DWORD timeoutMs = 30000) const {
        WaitFor(
            "the line \"" + line + "\"",
            [&] {
                return ("\r\n" + WindowText(Log())).find("\r\n" + line + "\r\n") !=
                       std::string::npos;
            },
            timeoutMs);
    }
    void ClickUpdateAndYes() const {
        PostMessageA(Child("Button", IDC_UPDATE), BM_CLICK, 0, 0);
        HWND question = nullptr;
        WaitFor("the question",
                [&] { return (question = FindBox(process.dwProcessId, "Question")) != nullptr; });
        std::string text;
        WaitFor("the question's text",
                [&] { return !(text = WindowText(GetDlgItem(question, 0xFFFF))).empty(); });
        std::fprintf(report, "demo: %s\n", text.c_str());
        PostMessageA(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
        WaitFor("the question to close", [&] { return !IsWindow(question); });
        WaitForLine(kUpdating);
    }
    void WaitForBarBeyond(int position) const {
        WaitFor(
            "the bar to move on",
            [&] { return Send(GetDlgItem(window, IDC_PROGRESS), PBM_GETPOS) > position; },
            kRunTimeoutMs);
    }
    // The window as the screen shows it, with its title bar, once it shows what it holds: a log
    // line just added may still be drawn where the control scrolled it from.
    void Shot(const std::string& name) const {
        WaitFor("the log's last line in view", [&] { return kavix_test::LastLineInView(Log()); });
        // Painted through, now, on the window's thread; the answer to a message after it comes once
        // that thread has gone back to its messages.
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Send(window, WM_NULL);
        RECT rect = {};
        GetWindowRect(window, &rect);
        // The screen may take the painting a moment later: taken when two captures agree.
        HBITMAP bitmap = Capture(rect);
        WaitFor("the screen to show the window as painted", [&] {
            HBITMAP again = Capture(rect);
            const bool same = Pixels(again) == Pixels(bitmap);
            DeleteObject(bitmap);
            bitmap = again;
            return same;
        });
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
        const std::string path = demoFolder + "\\screenshots\\" + name + ".png";
        const std::wstring widePath(path.begin(), path.end());  // taken to be ASCII
        const bool saved =
            Gdiplus::Bitmap(bitmap, nullptr).Save(widePath.c_str(), &png, nullptr) == Gdiplus::Ok;
        DeleteObject(bitmap);
        if (!saved) {
            throw std::runtime_error("could not save " + path);
        }
    }
    void ClickDoneAndWaitForExit() const {
        // The log has id 1 as well as Done.
        PostMessageA(Child("Button", IDOK), BM_CLICK, 0, 0);
        if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
            throw std::runtime_error("orvflash.exe did not end after Done");
        }
    }

private:
    // The log has id 1 as well as Done.
    HWND Log() const { return Child("Edit", 1); }
    HWND Child(const char* className, int id) const {
        HWND child = nullptr;
        while ((child = FindWindowExA(window, child, className, nullptr)) &&
               GetDlgCtrlID(child) != id) {
        }
        return child;
    }

    PROCESS_INFORMATION process = {};
    HWND window = nullptr;
};

void Demo() {
    {
        Updater app;
        app.Shot("start");
        const DWORD clicked = GetTickCount();
        app.ClickUpdateAndYes();
        app.WaitForBarBeyond(90);
        app.Shot("programming");
        app.WaitForLine(kSafeToClose, kRunTimeoutMs);
        std::fprintf(report, "demo: the run took %.1f s from the Update click\n",
                     (GetTickCount() - clicked) / 1000.0);
        app.Shot("finished");
        app.ClickDoneAndWaitForExit();
        std::fprintf(report, "demo: the run finished and the program closed\n");
    }
    // A fresh Kavix of its own, without delays, so that this picture costs a second or two.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string flash = std::string(temp) + "orvflash-demo-failed.bin";
    DeleteFileA(flash.c_str());
    SetEnvironmentVariableA("ORV_SIM_FLASH", flash.c_str());
    SetEnvironmentVariableA("ORV_SIM_WRITE_FAIL_PAGE", "2100");
    for (const char* delay :
         {"ORV_SIM_READ_DELAY_MS", "ORV_SIM_ERASE_DELAY_MS", "ORV_SIM_WRITE_DELAY_MS"}) {
        SetEnvironmentVariableA(delay, nullptr);
    }
    Updater app;
    app.ClickUpdateAndYes();
    app.WaitForLine(kAdvice, kRunTimeoutMs);
    app.Shot("failed");
    app.ClickDoneAndWaitForExit();
    DeleteFileA(flash.c_str());
    std::fprintf(report, "demo: a run with a failing page write ended in its error lines\n");
}

}  // namespace

int main(int argc, char** argv) {
    demoFolder = argc == 2 ? argv[1] : ".";
    // To a file: the virtual desktop gives the program no output of its own.
    report = std::fopen((demoFolder + "\\demo.txt").c_str(), "wb");
    if (report == nullptr) {
        return 1;
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
    try {
        Demo();
        std::fprintf(report, "demo: done\n");
    } catch (const std::exception& error) {
        std::fprintf(report, "demo: %s\n", error.what());
    }
    Gdiplus::GdiplusShutdown(gdiplus);
    return std::fclose(report);
}
