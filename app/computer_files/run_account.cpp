#include "run_account.h"

#include <sddl.h>

#include <memory>

namespace {

// The token's information of `kind`, or nothing.
std::unique_ptr<char[]> TokenInfo(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::unique_ptr<char[]> info(size > 0 ? new char[size] : nullptr);
    if (info && !GetTokenInformation(token, kind, info.get(), size, &size)) {
        info.reset();
    }
    CloseHandle(token);
    return info;
}

// "S-1-5-...", or empty where it cannot be told.
std::wstring SidText(PSID sid) {
    LPWSTR text = nullptr;
    std::wstring said;
    if (sid != nullptr && ConvertSidToStringSidW(sid, &text)) {
        said = text;
        LocalFree(text);
    }
    return said;
}

std::string AccountName(PSID sid) {
    wchar_t name[256], domain[256];
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
        return Utf8(domainSize > 0 ? std::wstring(domain) + L"\\" + name : std::wstring(name));
    }
    return Utf8(SidText(sid));
}

// The owner's SID, inside `descriptor`; null if it cannot be read.
PSID OwnerSid(HANDLE handle, std::unique_ptr<char[]>& descriptor) {
    DWORD size = 0;
    GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    descriptor.reset(new char[size]);
    PSID sid = nullptr;
    BOOL defaulted = FALSE;
    if (!GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor.get(), size,
                                 &size) ||
        !GetSecurityDescriptorOwner(descriptor.get(), &sid, &defaulted)) {
        return nullptr;
    }
    return sid;
}

}  // namespace

std::string Narrow(const std::wstring& text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(size > 0 ? std::size_t(size) : 0, '\0');
    if (size > 0) {
        WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), &narrow[0], size, nullptr,
                            nullptr);
    }
    return narrow;
}

std::string Utf8(const std::wstring& text) {
    return Narrow(text, CP_UTF8);
}

bool RunIsElevated() {
    static const bool elevated = [] {
        const std::unique_ptr<char[]> user = TokenInfo(TokenUser);
        if (user && IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid,
                                   WinLocalSystemSid)) {
            return true;
        }
        const std::unique_ptr<char[]> elevation = TokenInfo(TokenElevation);
        return elevation && reinterpret_cast<TOKEN_ELEVATION*>(elevation.get())->TokenIsElevated;
    }();
    return elevated;
}

std::wstring RunAccountSid() {
    const std::unique_ptr<char[]> user = TokenInfo(TokenUser);
    return user ? SidText(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid) : std::wstring();
}

std::string RunAccountName() {
    const std::unique_ptr<char[]> user = TokenInfo(TokenUser);
    return user ? AccountName(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid) : std::string();
}

std::wstring OwnerSidOf(HANDLE handle) {
    std::unique_ptr<char[]> descriptor;
    return SidText(OwnerSid(handle, descriptor));
}

bool OwnerOf(HANDLE handle, Owner& owner, std::string& account) {
    std::unique_ptr<char[]> descriptor;
    PSID sid = OwnerSid(handle, descriptor);
    if (sid == nullptr) {
        return false;
    }
    const std::unique_ptr<char[]> user = TokenInfo(TokenUser);
    account.clear();
    if (IsWellKnownSid(sid, WinLocalSystemSid)) {
        owner = Owner::system;
    } else if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
        owner = Owner::administrators;
    } else if (user && EqualSid(sid, reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid)) {
        owner = Owner::runner;
    } else {
        owner = Owner::otherAccount;
        account = AccountName(sid);
    }
    return true;
}
