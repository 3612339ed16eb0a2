#include "folder_rules.h"

#include <sddl.h>

#include <cstring>

// Rights in hex, not letters, so that they read back as they were given:
//   0x1200ab  the folder itself: list, add a file, traverse, read attributes and rules; not add a
//             folder, delete a child, delete, rename or re-rule the folder
//   0x120089  every file: read
//   0x13019f  a file its creator made: read, write, append, delete (Modify without execute)
//   RC        OWNER RIGHTS: an owner may read the rules, nothing more
// MinGW's sddl.h has no SDDL_OWNER_RIGHTS: its letters "OW" are written out.
const wchar_t kFolderRules[] =
    L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200ab;;;AU)(A;OIIO;0x120089;;;AU)"
    L"(A;OIIO;0x13019f;;;CO)(A;OICI;RC;;;OW)";

std::wstring FileRules(const std::wstring& ownerSid, bool log) {
    // 0x12008d: read, and append (FILE_APPEND_DATA) to the log that every run writes.
    return L"D:PAI(A;;FA;;;SY)(A;;FA;;;BA)(A;;" + std::wstring(log ? L"0x12008d" : L"0x120089") +
           L";;;AU)(A;;0x13019f;;;" + ownerSid + L")(A;;RC;;;OW)";
}

Descriptor::Descriptor(const std::wstring& sddl) {
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        descriptor = nullptr;
    }
}

Descriptor::~Descriptor() {
    LocalFree(descriptor);
}

namespace {

PACL DaclOf(PSECURITY_DESCRIPTOR descriptor, bool& protectedDacl) {
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (descriptor == nullptr ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        !GetSecurityDescriptorControl(descriptor, &control, &revision)) {
        return nullptr;
    }
    protectedDacl = (control & SE_DACL_PROTECTED) != 0;
    return dacl;
}

bool SameAces(ACL* a, ACL* b) {
    if (a == nullptr || b == nullptr || a->AceCount != b->AceCount) {
        return false;
    }
    for (WORD i = 0; i < a->AceCount; ++i) {
        void* x = nullptr;
        void* y = nullptr;
        if (!GetAce(a, i, &x) || !GetAce(b, i, &y)) {
            return false;
        }
        const WORD size = static_cast<ACE_HEADER*>(x)->AceSize;
        if (size != static_cast<ACE_HEADER*>(y)->AceSize || std::memcmp(x, y, size) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool HasRules(HANDLE handle, const Descriptor& rules) {
    DWORD size = 0;
    GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) {
        return false;
    }
    std::string bytes(size, '\0');
    PSECURITY_DESCRIPTOR current = &bytes[0];
    bool currentProtected = false, wantedProtected = false;
    if (!GetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, current, size, &size)) {
        return false;
    }
    PACL have = DaclOf(current, currentProtected);
    PACL want = DaclOf(rules.Get(), wantedProtected);
    return currentProtected == wantedProtected && SameAces(have, want);
}

bool SetRules(HANDLE handle, const Descriptor& rules, bool administratorsOwn) {
    if (!rules.Valid()) {
        return false;
    }
    // The kernel's own call sets the descriptor of this object alone: SetSecurityInfo would also
    // push inheritable entries into every child, through a planted hard link too.
    if (!SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, rules.Get())) {
        return false;
    }
    if (!administratorsOwn) {
        return true;
    }
    const Descriptor owner(L"O:BA");
    return owner.Valid() &&
           SetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, owner.Get());
}
