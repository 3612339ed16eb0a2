#include "legacy_copies.h"

#include <windows.h>
#include <knownfolders.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <vector>

#include "checked_folder.h"
#include "computer_folder.h"
#include "run_account.h"
#include "saved_copies.h"
#include "saved_copy_folder.h"

namespace {

// A copy is 512 KiB and a few bytes; anything much larger is none of ours.
constexpr std::size_t kLargestCopy = 0x100000;

bool ReadWhole(SavedCopyStore& store, const std::string& name, std::vector<unsigned char>& bytes) {
    bytes.clear();
    return store.Read(name, [&](const unsigned char* data, std::size_t size) {
        if (bytes.size() + size > kLargestCopy) {
            return false;
        }
        bytes.insert(bytes.end(), data, data + size);
        return true;
    });
}

// Whether `store` holds `name` with exactly `bytes`, compared a piece at a time.
bool Holds(SavedCopyStore& store, const std::string& name,
           const std::vector<unsigned char>& bytes) {
    std::size_t at = 0;
    const bool read = store.Read(name, [&](const unsigned char* data, std::size_t size) {
        if (size > bytes.size() - at || std::memcmp(bytes.data() + at, data, size) != 0) {
            return false;
        }
        at += size;
        return true;
    });
    return read && at == bytes.size();
}

// Another account's folder, only read: nothing in it is written, renamed or removed.
class ReadOnlyFolder : public SavedCopyStore {
public:
    explicit ReadOnlyFolder(const CheckedFolder& folder) : folder(folder) {}

    bool Write(const std::string&, std::initializer_list<ByteSpan>) override { return false; }
    bool Names(std::vector<std::string>& names) override { return CopyNames(folder, names); }
    bool Read(const std::string& name, const Consumer& consume) override {
        return ReadCopyFile(folder, name, consume);
    }
    bool Rename(const std::string&, const std::string&) override { return false; }
    bool Remove(const std::string&) override { return false; }
    std::string Where() override { return std::string(); }

private:
    const CheckedFolder& folder;
};

// Opens `path` ("X:\..." only) one folder at a time from the drive's root, each without following
// a link and checked on its handle. Every folder on the way is held, so none of them can be
// renamed or replaced, until `held` goes; the last is the one returned, or null.
const CheckedFolder* OpenWalking(const std::wstring& path,
                                 std::vector<std::unique_ptr<CheckedFolder>>& held) {
    held.clear();
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\' || !std::iswalpha(path[0])) {
        return nullptr;
    }
    std::wstring walked = path.substr(0, 2);
    held.push_back(CheckedFolder::Open(walked + L"\\"));
    for (std::size_t at = 3; held.back() && at <= path.size();) {
        std::size_t end = path.find(L'\\', at);
        if (end == std::wstring::npos) {
            end = path.size();
        }
        const std::wstring part = path.substr(at, end - at);
        at = end + 1;
        if (part.empty()) {
            continue;
        }
        if (part == L"." || part == L"..") {
            return nullptr;
        }
        walked += L"\\" + part;
        held.push_back(CheckedFolder::Open(walked));
    }
    return held.back().get();
}

// The folders of the profiles in the computer's profile list, expanded.
std::vector<std::wstring> ProfileFolders() {
    std::vector<std::wstring> folders;
    HKEY list = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0, KEY_READ,
                      &list) != ERROR_SUCCESS) {
        return folders;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameSize = 256;
        if (RegEnumKeyExW(list, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        HKEY profile = nullptr;
        if (RegOpenKeyExW(list, name, 0, KEY_QUERY_VALUE, &profile) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t value[MAX_PATH] = {};
        DWORD type = 0, size = sizeof value - sizeof(wchar_t);
        const bool read =
            RegQueryValueExW(profile, L"ProfileImagePath", nullptr, &type,
                             reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
        RegCloseKey(profile);
        wchar_t expanded[MAX_PATH];
        const DWORD length = read ? ExpandEnvironmentStringsW(value, expanded, MAX_PATH) : 0;
        if (length > 1 && length <= MAX_PATH) {
            folders.emplace_back(expanded);
        }
    }
    RegCloseKey(list);
    return folders;
}

}  // namespace

std::wstring LegacyCopyFolder() {
    const std::wstring base = KnownFolderPath(FOLDERID_LocalAppData);
    return base.empty() ? base : base + L"\\orvflash\\";
}

void MoveLegacyCopies(SavedCopyStore& from, SavedCopyStore& into, bool keep) {
    std::vector<std::string> names;
    std::vector<std::string> kept;
    // Unless both folders can be listed, a name could be overwritten: nothing moves.
    if (!from.Names(names) || names.empty() || !into.Names(kept)) {
        return;
    }
    std::vector<unsigned char> bytes;
    for (const std::string& name : names) {
        if (!saved_copies::IsCopyName(name)) {
            continue;
        }
        // A copy only read from another account's folder is taken in once: after its update has
        // served, it must not come back at every start and be asked about again.
        const std::string taken = name + ".imported";
        if (keep && std::find(kept.begin(), kept.end(), taken) != kept.end() &&
            into.WriterOf(taken).trusted) {
            continue;
        }
        // Checked as read, once: what is written is what was checked.
        if (!ReadWhole(from, name, bytes) || !saved_copies::IsWholeCopy(bytes)) {
            continue;
        }
        const bool there = std::find(kept.begin(), kept.end(), name) != kept.end();
        if (!(there ? Holds(into, name, bytes)
                    : into.Write(name, {{bytes.data(), bytes.size()}}))) {
            continue;
        }
        if (keep) {
            into.Write(taken, {});
        } else {
            from.Remove(name);
        }
    }
}

void TakeLegacyCopies(SavedCopyStore& into) {
    // An elevated or SYSTEM run reads every account's copies and deletes none of them, its own
    // included; a standard account's run moves its own.
    const bool elevated = RunIsElevated();
    {
        CSavedCopyFolder own(LegacyCopyFolder());
        MoveLegacyCopies(own, into, elevated);
    }
    if (!elevated) {
        return;
    }
    // Other accounts' folders: read, never changed.
    for (const std::wstring& profile : ProfileFolders()) {
        std::vector<std::unique_ptr<CheckedFolder>> held;
        const CheckedFolder* folder = OpenWalking(profile + L"\\AppData\\Local\\orvflash", held);
        if (folder != nullptr) {
            ReadOnlyFolder from(*folder);
            MoveLegacyCopies(from, into, true);
        }
    }
}
