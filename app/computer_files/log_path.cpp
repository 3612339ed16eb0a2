#include "log_path.h"

#include <cwctype>

namespace {

bool IsSlash(wchar_t c) {
    return c == L'\\' || c == L'/';
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        c = wchar_t(std::towupper(std::wint_t(c)));
    }
    return text;
}

// CON, NUL, COM1 and the like name a device in any folder, with any extension, and with trailing
// spaces or dots.
bool IsDeviceName(const std::wstring& path) {
    std::size_t start = path.size();
    while (start > 0 && !IsSlash(path[start - 1]) && path[start - 1] != L':') {
        --start;
    }
    std::wstring base = Upper(path.substr(start));
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) {
        base.pop_back();
    }
    static const wchar_t* const kNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* name : kNames) {
        if (base == name) {
            return true;
        }
    }
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'0' && base[3] <= L'9';
}

}  // namespace

std::string LogPathProblem(const std::wstring& path) {
    if (path.empty()) {
        return "it is empty";
    }
    if (path.size() >= 2 && IsSlash(path[0]) && IsSlash(path[1])) {
        return "it is not a path on this computer's own drives (\\\\.\\, \\\\?\\ or a network "
               "path)";
    }
    if (path.find(L':') != std::wstring::npos &&
        (path.size() < 3 || path[1] != L':' || !IsSlash(path[2]) ||
         path.find(L':', 2) != std::wstring::npos)) {
        return "it is not a plain path (a drive's own current folder or a stream of a file)";
    }
    if (IsDeviceName(path)) {
        return "it names a device";
    }
    return std::string();
}
