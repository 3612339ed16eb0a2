#include "computer_folder.h"

#include <knownfolders.h>
#include <shlobj.h>

#include <memory>

#include "folder_rules.h"
#include "run_account.h"
#include "update_lock.h"

namespace {

constexpr int kMoveAttempts = 10;
constexpr DWORD kMoveRetryMs = 100;

struct Prepared {
    std::unique_ptr<CheckedFolder> folder;
    std::vector<std::string> notes;
};

std::wstring DatedName(const std::wstring& path) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[40];
    swprintf(stamp, 40, L" (moved aside %04u-%02u-%02u %02u%02u%02u)", now.wYear, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
    return path + stamp;
}

// Moves what stands where the folder belongs aside through its own handle, not following it,
// keeping what it holds for a person; under the one-update lock, so that no run of the program
// is using it meanwhile.
bool MoveAside(const std::wstring& path, Prepared& prepared) {
    const char* why = nullptr;
    HANDLE lock = OpenUpdateLock(why);
    bool owned = false;
    for (int attempt = 0; lock != nullptr && attempt < kMoveAttempts && !owned; ++attempt) {
        owned = TryOwn(lock) || (Sleep(kMoveRetryMs), false);
    }
    bool moved = false;
    const std::wstring aside = DatedName(path);
    if (owned) {
        FileHandle thing(CreateFileW(
            path.c_str(), AccessFor(FolderTask::moveAside),
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        for (int attempt = 0; thing.IsOpen() && !moved && attempt < kMoveAttempts; ++attempt) {
            moved = CheckedFolder::RenameTo(thing.Get(), L"\\??\\" + aside, false) ||
                    (Sleep(kMoveRetryMs), false);
        }
        ReleaseMutex(lock);
    }
    if (lock != nullptr) {
        CloseHandle(lock);
    }
    prepared.notes.push_back(moved ? "A file or link stood where the program's folder belongs, " +
                                         Utf8(path) + "; it was moved aside to " + Utf8(aside) +
                                         " and is kept for a person to look at."
                                   : "A file or link stands where the program's folder belongs, " +
                                         Utf8(path) + ", and could not be moved aside.");
    return moved;
}

bool Make(const std::wstring& path, Prepared& prepared) {
    const Descriptor rules(kFolderRules);
    // A folder without its rules would let every account steer the next SYSTEM run.
    if (!rules.Valid()) {
        prepared.notes.push_back(
            "The rules of the program's folder could not be made; it was not made.");
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, rules.Get(), FALSE};
    return CreateDirectoryW(path.c_str(), &attributes) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Brings a plain folder with other rules to the program's, on its own handle, and each plain file
// in it through its own; links and other things are left as they are and never used.
void ReRule(CheckedFolder& folder, bool elevated, Prepared& prepared) {
    const Descriptor rules(kFolderRules);
    const FileHandle handle =
        folder.Reopen(AccessFor(FolderTask::reRuleFolder) | (elevated ? WRITE_OWNER : 0));
    if (!handle.IsOpen() || !SetRules(handle.Get(), rules, elevated)) {
        prepared.notes.push_back(
            "The program's folder has other rules, which this run could not "
            "change; an administrator's run will secure it.");
        return;
    }
    std::vector<std::wstring> names;
    folder.Names(names);
    for (const std::wstring& name : names) {
        FileHandle file = folder.OpenFile(name, FolderTask::reRuleFile, Disposition::openExisting);
        const std::wstring owner = file.IsOpen() ? OwnerSidOf(file.Get()) : std::wstring();
        if (owner.empty()) {
            continue;
        }
        // The file's owner keeps its Modify over it, as the folder's rules give a file's creator.
        const Descriptor fileRules(FileRules(owner, name == kComputerLogName));
        SetRules(file.Get(), fileRules, false);
    }
    prepared.notes.push_back(elevated ? "The program's folder had other rules; it was given the "
                                        "program's, and to Administrators."
                                      : "The program's folder had other rules; it was given the "
                                        "program's.");
}

Prepared Prepare() {
    Prepared prepared;
    const std::wstring path = ComputerFolderPath();
    if (path.empty()) {
        return prepared;
    }
    const bool elevated = RunIsElevated();
    for (int attempt = 0; attempt < 3 && !prepared.folder; ++attempt) {
        PlaceFacts place;
        place.elevated = elevated;
        FileHandle thing(CreateFileW(
            path.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        place.exists = thing.IsOpen() || (GetLastError() != ERROR_FILE_NOT_FOUND &&
                                          GetLastError() != ERROR_PATH_NOT_FOUND);
        if (thing.IsOpen()) {
            const FileFacts facts = FactsOf(thing.Get());
            place.directory = facts.directory;
            place.reparsePoint = facts.reparsePoint || !facts.diskFile;
            place.programRules = HasRules(thing.Get(), Descriptor(kFolderRules));
            std::string account;
            if (!OwnerOf(thing.Get(), place.owner, account)) {
                place.owner = Owner::otherAccount;
            }
        }
        thing.Close();
        const FolderAction action = DecideFolder(place);
        switch (action) {
            case FolderAction::make:
                if (!Make(path, prepared)) {
                    return prepared;
                }
                continue;
            case FolderAction::moveAside:
                if (!MoveAside(path, prepared) || !Make(path, prepared)) {
                    return prepared;
                }
                continue;
            case FolderAction::refuse:
                prepared.notes.push_back(
                    "A file or link stands where the program's folder belongs, " + Utf8(path) +
                    ". This run does not use it, so no copy can be saved and nothing is erased; an "
                    "administrator must look at it.");
                return prepared;
            case FolderAction::use:
            case FolderAction::reRule:
            case FolderAction::useAsItStands:
                prepared.folder = CheckedFolder::Open(path);
                if (prepared.folder && action == FolderAction::reRule) {
                    ReRule(*prepared.folder, elevated, prepared);
                } else if (prepared.folder && action == FolderAction::useAsItStands) {
                    prepared.notes.push_back(
                        "The program's folder has other rules; every file in it "
                        "is checked, and an administrator's run will secure it.");
                }
                break;
        }
    }
    return prepared;
}

Prepared& PreparedFolder() {
    static Prepared prepared = Prepare();
    return prepared;
}

}  // namespace

std::wstring KnownFolderPath(REFKNOWNFOLDERID id) {
    PWSTR base = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &base))) {
        folder = base;
    }
    CoTaskMemFree(base);
    return folder;
}

std::wstring ComputerFolderPath() {
    const std::wstring base = KnownFolderPath(FOLDERID_ProgramData);
    return base.empty() ? base : base + L"\\orvflash";
}

CheckedFolder* ComputerFolder() {
    return PreparedFolder().folder.get();
}

std::vector<std::string> ComputerFolderNotes() {
    return PreparedFolder().notes;
}
