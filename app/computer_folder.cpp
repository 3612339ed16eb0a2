#include "computer_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <knownfolders.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstring>

#include "file_handle.h"

// Authenticated Users rather than Users: it holds every account that signs in, whatever local
// groups the machine has, and never the guest or anonymous logons. Rights are spelt out, not
// generic, so that the folder reads back as it was given.
const wchar_t kComputerFolderAccess[] =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;AU)";

namespace {

class SecurityDescriptor {
public:
    SecurityDescriptor() {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(kComputerFolderAccess, SDDL_REVISION_1,
                                                             &descriptor, nullptr);
    }
    ~SecurityDescriptor() { LocalFree(descriptor); }
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;

    PSECURITY_DESCRIPTOR Get() const { return descriptor; }
    PACL Dacl() const {
        BOOL present = FALSE, defaulted = FALSE;
        PACL dacl = nullptr;
        if (descriptor == nullptr ||
            !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present) {
            return nullptr;
        }
        return dacl;
    }

private:
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

bool SameAces(const ACL* a, const ACL* b) {
    if (a == nullptr || b == nullptr || a->AceCount != b->AceCount) {
        return false;
    }
    for (WORD i = 0; i < a->AceCount; ++i) {
        void* x = nullptr;
        void* y = nullptr;
        if (!GetAce(const_cast<ACL*>(a), i, &x) || !GetAce(const_cast<ACL*>(b), i, &y)) {
            return false;
        }
        const WORD size = static_cast<ACE_HEADER*>(x)->AceSize;
        if (size != static_cast<ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0) {
            return false;
        }
    }
    return true;
}

// A folder made by an earlier version, or by hand, keeps the program data folder's rules: they
// are replaced where this account may (its owner, an administrator), and left as they are where
// it may not; the copies then work for whoever may use them.
void GiveAccess(const std::wstring& folder, const SecurityDescriptor& intended) {
    PSECURITY_DESCRIPTOR current = nullptr;
    PACL dacl = nullptr;
    bool same = false;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &current) == ERROR_SUCCESS) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        same = GetSecurityDescriptorControl(current, &control, &revision) &&
               (control & SE_DACL_PROTECTED) != 0 && SameAces(dacl, intended.Dacl());
        LocalFree(current);
    }
    if (!same && intended.Dacl() != nullptr) {
        SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, intended.Dacl(), nullptr);
    }
}

}  // namespace

std::wstring ComputerFolder(bool create) {
    PWSTR base = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &base))) {
        folder = std::wstring(base) + L"\\orvflash";
    }
    CoTaskMemFree(base);
    if (folder.empty()) {
        return std::wstring();
    }
    if (create) {
        const SecurityDescriptor intended;
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, intended.Get(), FALSE};
        // Made with its rules, so that no file can ever land in it under other ones.
        if (CreateDirectoryW(folder.c_str(), intended.Get() ? &attributes : nullptr)) {
            // The new folder's name lives in its parent; an account that may not flush the parent
            // still has the folder.
            FlushFolder(folder.substr(0, folder.rfind(L'\\')));
        } else if (GetLastError() == ERROR_ALREADY_EXISTS) {
            GiveAccess(folder, intended);
        } else {
            return std::wstring();
        }
    }
    return folder + L"\\";
}
