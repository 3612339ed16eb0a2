#include "nobody_can_see.h"

#include <windows.h>

namespace {

bool InSessionZero() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

bool WindowStationHidden() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    // A station that cannot be asked is taken as seen: the window then behaves as it always has.
    return station != nullptr &&
           GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, &needed) &&
           (flags.dwFlags & WSF_VISIBLE) == 0;
}

bool RunsAsSystem() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    // TOKEN_USER with a SID of at most SECURITY_MAX_SID_SIZE bytes.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    DWORD size = 0;
    BYTE systemSid[SECURITY_MAX_SID_SIZE];
    DWORD systemSize = sizeof systemSid;
    const bool system = GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
                        CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize) &&
                        EqualSid(info.user.User.Sid, systemSid);
    CloseHandle(token);
    return system;
}

}  // namespace

bool NobodyCanSee() {
    return InSessionZero() || WindowStationHidden() || RunsAsSystem();
}
