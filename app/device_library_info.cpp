#include "device_library_info.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_account.h"
#include "simulator_identity.h"
#include "system_library.h"

namespace {

const char kPrefix[] = "Device library: ";

struct DeviceLibrary {
    std::wstring path;
    std::string description;
    std::string productName;
    std::string version;
    std::string signature;  // who signed it, and whether Windows trusts the signature
};

struct VersionResource {
    std::string version;
    std::string description;
    std::string productName;
};

VersionResource ReadVersionResource(const std::wstring& path) {
    using Size = decltype(&GetFileVersionInfoSizeW);
    using Info = decltype(&GetFileVersionInfoW);
    using Query = decltype(&VerQueryValueW);
    const SystemLibrary library(L"version.dll");
    const auto size = library.Function<Size>("GetFileVersionInfoSizeW");
    const auto info = library.Function<Info>("GetFileVersionInfoW");
    const auto query = library.Function<Query>("VerQueryValueW");
    VersionResource read;
    DWORD unused = 0;
    const DWORD length = size && info && query ? size(path.c_str(), &unused) : 0;
    std::vector<unsigned char> data(length);
    if (length == 0 || !info(path.c_str(), 0, length, data.data())) {
        return read;
    }
    void* value = nullptr;
    UINT valueLength = 0;
    if (query(data.data(), L"\\", &value, &valueLength) &&
        valueLength >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        char text[48];
        std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
                      fixed->dwFileVersionMS & 0xFFFF, fixed->dwFileVersionLS >> 16,
                      fixed->dwFileVersionLS & 0xFFFF);
        read.version = text;
    }
    // The strings of the first language the resource lists.
    if (query(data.data(), L"\\VarFileInfo\\Translation", &value, &valueLength) &&
        valueLength >= 4) {
        const auto* language = static_cast<const WORD*>(value);
        const auto field = [&](const wchar_t* name) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04x%04x", language[0], language[1]);
            const std::wstring key =
                L"\\StringFileInfo\\" + std::wstring(hex, hex + 8) + L"\\" + name;
            void* text = nullptr;
            UINT textLength = 0;
            return query(data.data(), key.c_str(), &text, &textLength) && textLength > 0
                       ? Utf8(static_cast<const wchar_t*>(text))
                       : std::string();
        };
        read.description = field(L"FileDescription");
        read.productName = field(L"ProductName");
    }
    return read;
}

std::string SignerName(PCCERT_CONTEXT certificate) {
    using Name = decltype(&CertGetNameStringW);
    const SystemLibrary library(L"crypt32.dll");
    const auto name = library.Function<Name>("CertGetNameStringW");
    std::string said;
    wchar_t text[256];
    if (name && name(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, text, 256) > 1) {
        said = Utf8(text);
    }
    return said;
}

// Checked with what is on this computer alone: no revocation check and nothing fetched, so that
// an offline computer does not wait for a network.
std::string Signature(const std::wstring& path) {
    using Verify = decltype(&WinVerifyTrust);
    using StateData = decltype(&WTHelperProvDataFromStateData);
    using Signer = decltype(&WTHelperGetProvSignerFromChain);
    const SystemLibrary library(L"wintrust.dll");
    const auto verify = library.Function<Verify>("WinVerifyTrust");
    const auto stateData = library.Function<StateData>("WTHelperProvDataFromStateData");
    const auto signerOf = library.Function<Signer>("WTHelperGetProvSignerFromChain");
    if (!verify || !stateData || !signerOf) {
        return "signature not checked (no wintrust.dll)";
    }
    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA trust = {};
    trust.cbStruct = sizeof trust;
    trust.dwUIChoice = WTD_UI_NONE;
    trust.fdwRevocationChecks = WTD_REVOKE_NONE;
    trust.dwUnionChoice = WTD_CHOICE_FILE;
    trust.pFile = &file;
    trust.dwStateAction = WTD_STATEACTION_VERIFY;
    trust.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    // No window: nobody may be there to see one.
    const HWND noWindow = reinterpret_cast<HWND>(INVALID_HANDLE_VALUE);
    const LONG verdict = verify(noWindow, &action, &trust);
    std::string signer;
    if (CRYPT_PROVIDER_DATA* provider = stateData(trust.hWVTStateData)) {
        const CRYPT_PROVIDER_SGNR* first = signerOf(provider, 0, FALSE, 0);
        if (first && first->csCertChain > 0 && first->pasCertChain &&
            first->pasCertChain[0].pCert) {
            signer = SignerName(first->pasCertChain[0].pCert);
        }
    }
    trust.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(noWindow, &action, &trust);

    if (verdict == TRUST_E_NOSIGNATURE && signer.empty()) {
        return "not signed";
    }
    std::string said = signer.empty() ? "signed" : "signed by \"" + signer + "\"";
    if (verdict == ERROR_SUCCESS) {
        return said + ", signature valid";
    }
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(verdict));
    return said + ", signature NOT valid here (" + code + ")";
}

DeviceLibrary Describe() {
    DeviceLibrary library;
    HMODULE module = GetModuleHandleW(L"orv_api.dll");
    if (module == nullptr) {
        return library;
    }
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    // A path longer than the room given comes back cut to it: try again with more.
    while ((length = GetModuleFileNameW(module, &path[0], DWORD(path.size()))) == path.size()) {
        path.resize(path.size() * 2);
    }
    if (length == 0) {
        return library;
    }
    path.resize(length);
    library.path = path;
    const VersionResource version = ReadVersionResource(path);
    library.description = version.description;
    library.productName = version.productName;
    library.version = version.version;
    library.signature = Signature(path);
    return library;
}

const DeviceLibrary& Loaded() {
    static const DeviceLibrary library = Describe();
    return library;
}

bool IsSimulatedKavix() {
    return Loaded().productName == ORV_SIMULATOR_PRODUCT_NAME;
}

// The path and the texts read from the DLL may hold any character: the log takes UTF-8.
void Log(RunLog& log, const std::string& text) {
    log.AppendUtf8(kPrefix + text);
}

}  // namespace

void LogDeviceLibrary(RunLog& log) {
    const DeviceLibrary& library = Loaded();
    if (library.path.empty()) {
        Log(log, "orv_api.dll is not among the modules loaded; its file cannot be named.");
        return;
    }
    Log(log, Utf8(library.path));
    Log(log, (library.description.empty() ? "no description" : "\"" + library.description + "\"") +
                 ", version " + (library.version.empty() ? "unknown" : library.version) + ", " +
                 library.signature + ".");
    if (IsSimulatedKavix()) {
        Log(log,
            "the simulated Kavix, a stand-in for the maker's orv_api.dll: no real Kavix is "
            "updated with it.");
    }
}

bool RefusesSimulatedKavix(RunLog& log) {
    if (!IsSimulatedKavix()) {
        return false;
    }
    char allowed[4] = "";
    const DWORD length = GetEnvironmentVariableA("ORV_ALLOW_SIMULATOR", allowed, sizeof allowed);
    if (length == 1 && allowed[0] == '1') {
        log.Append("ORV_ALLOW_SIMULATOR=1: the unattended run goes on with the simulated Kavix.");
        return false;
    }
    log.Append(
        "The orv_api.dll loaded is the simulated Kavix, not the maker's library: an unattended "
        "run does not update with it, and nothing was done. Put the maker's orv_api.dll beside "
        "orvflash.exe; to try orvflash unattended with the simulator, set ORV_ALLOW_SIMULATOR=1.");
    return true;
}
