#include "usage.h"

#include <windows.h>

#include <string>

#include "command_line.h"

void WriteToConsole(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    bool attached = false;
    // A windows program has a standard output only where it was redirected; otherwise the console
    // of the command prompt that started it is borrowed.
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        attached = true;
        out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    }
    if (out != nullptr && out != INVALID_HANDLE_VALUE) {
        // The prompt has already come back: start on a line of its own.
        const std::string written = attached ? "\r\n" + text : text;
        DWORD count = 0;
        WriteFile(out, written.data(), DWORD(written.size()), &count, nullptr);
    }
    if (attached) {
        if (out != INVALID_HANDLE_VALUE) {
            CloseHandle(out);
        }
        FreeConsole();
    }
}

void TellUsage(const char* problem, bool box, bool logged) {
    std::string text = problem != nullptr ? std::string(problem) + "\r\n\r\n" : std::string();
    for (const char* line : UsageLines()) {
        text += line;
        text += "\r\n";
    }
    if (!logged) {
        WriteToConsole(text);
    }
    if (box) {
        MessageBoxA(nullptr, text.c_str(), problem != nullptr ? "Warning" : "orvflash",
                    MB_OK | (problem != nullptr ? MB_ICONWARNING : MB_ICONINFORMATION));
    }
}
