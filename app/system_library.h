// A DLL of the system folder, loaded for a few of its functions and freed with this object. From
// the system folder alone: the program is often started from a downloads folder, where a planted
// DLL of such a name would run as whoever started it.
#ifndef ORVFLASH_APP_SYSTEM_LIBRARY_H
#define ORVFLASH_APP_SYSTEM_LIBRARY_H

#include <windows.h>

class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // Null where the library or the function is missing.
    template <typename F>
    F Function(const char* name) const {
        // Through void (*)(): a function pointer of any type may be cast back from it.
        return module
                   ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                   : nullptr;
    }

private:
    HMODULE module;
};

#endif
