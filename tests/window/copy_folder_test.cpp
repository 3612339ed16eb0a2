// The computer's folder of saved copies: the rules it is given, what they let a standard account
// do, and the copies of earlier versions moved into it.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "bytes.h"
#include "access_table.h"
#include "flash_map.h"
#include "folder_rules.h"
#include "legacy_copies.h"
#include "run_account.h"
#include "saved_copy_folder.h"
#include "saved_copies.h"
#include "scratch_folder.h"
#include "std_saved_copy_folder.h"

namespace {

// Wine keeps no security descriptor on its files (it turns one into a Unix mode and makes one up
// from that when asked) and enforces none, so the descriptor is checked as the program hands it
// over, and what Windows would then allow with AccessCheck against it.
TEST(ComputerFolderAccess, IsProtectedAndGivesNoAccountMoreThanTheOthers) {
    const Descriptor folder(kFolderRules);
    ASSERT_TRUE(folder.Valid());
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorControl(folder.Get(), &control, &revision));
    ASSERT_TRUE(GetSecurityDescriptorDacl(folder.Get(), &present, &dacl, &defaulted) && present);
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "none of the program data folder's rules";
    const BYTE both = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    const BYTE filesOnly = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    const std::vector<std::tuple<WELL_KNOWN_SID_TYPE, BYTE, DWORD>> expected = {
        {WinLocalSystemSid, both, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, both, FILE_ALL_ACCESS},
        {WinAuthenticatedUserSid, 0, FILE_GENERIC_READ | FILE_ADD_FILE | FILE_TRAVERSE},
        {WinAuthenticatedUserSid, filesOnly, FILE_GENERIC_READ},
        {WinCreatorOwnerSid, filesOnly, FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE},
        {WinCreatorOwnerRightsSid, both, READ_CONTROL}};
    ASSERT_EQ(dacl->AceCount, expected.size());
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(std::make_tuple(ace->Header.AceType, ace->Header.AceFlags, ace->Mask),
                  std::make_tuple(BYTE(ACCESS_ALLOWED_ACE_TYPE), std::get<1>(expected[i]),
                                  std::get<2>(expected[i])))
            << i;
        EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, std::get<0>(expected[i]))) << i;
    }
}

// This process's account as a standard one: its token with Administrators for denying only.
HANDLE StandardAccountToken() {
    HANDLE process = nullptr, restricted = nullptr, token = nullptr;
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size);
    SID_AND_ATTRIBUTES disabled = {administrators, 0};
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process) &&
        CreateRestrictedToken(process, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted)) {
        DuplicateToken(restricted, SecurityIdentification, &token);
    }
    CloseHandle(restricted);
    CloseHandle(process);
    return token;
}

enum class Object { folder, ownFile, othersFile, systemsLog };

struct AccessRow {
    const char* what;
    Object object;
    DWORD access;
    bool allowed;
};

TEST(ComputerFolderAccess, LetsAStandardAccountDoAllItNeedsAndNoMore) {
    const HANDLE token = StandardAccountToken();
    ASSERT_NE(token, nullptr);
    const std::wstring own = RunAccountSid();
    ASSERT_FALSE(own.empty());
    // SYSTEM made the folder and the log; the account made its own file.
    const Descriptor folder(L"O:SYG:SY" + std::wstring(kFolderRules));
    const Descriptor ownFile(L"O:" + own + L"G:SY" + FileRules(own, false));
    const Descriptor othersFile(L"O:SYG:SY" + FileRules(L"SY", false));
    const Descriptor systemsLog(L"O:SYG:SY" + FileRules(L"SY", true));
    const std::map<Object, const Descriptor*> objects = {{Object::folder, &folder},
                                                         {Object::ownFile, &ownFile},
                                                         {Object::othersFile, &othersFile},
                                                         {Object::systemsLog, &systemsLog}};
    const AccessRow rows[] = {
        {"hold the folder", Object::folder, AccessFor(FolderTask::holdFolder), true},
        {"read another's copy", Object::othersFile, AccessFor(FolderTask::readFile), true},
        {"append to SYSTEM's log", Object::systemsLog, AccessFor(FolderTask::appendLog), true},
        {"write its own file", Object::ownFile, AccessFor(FolderTask::createFile), true},
        {"rename its own file", Object::ownFile, AccessFor(FolderTask::renameOwnFile), true},
        {"delete its own file", Object::ownFile, AccessFor(FolderTask::deleteOwnFile), true},
        {"replace its own file", Object::ownFile, AccessFor(FolderTask::replaceOwnFile), true},
        {"write another's copy", Object::othersFile, AccessFor(FolderTask::createFile), false},
        {"append to another's copy", Object::othersFile, AccessFor(FolderTask::appendLog), false},
        {"delete another's copy", Object::othersFile, AccessFor(FolderTask::deleteOwnFile), false},
        {"replace SYSTEM's log", Object::systemsLog, AccessFor(FolderTask::replaceOwnFile), false},
        {"re-rule another's file", Object::othersFile, AccessFor(FolderTask::reRuleFile), false},
        {"re-rule the folder", Object::folder, AccessFor(FolderTask::reRuleFolder), false},
        {"move the folder aside", Object::folder, AccessFor(FolderTask::moveAside), false},
        {"add a folder to it", Object::folder, FILE_ADD_SUBDIRECTORY, false},
        {"delete what it holds", Object::folder, FILE_DELETE_CHILD, false},
        {"take the folder", Object::folder, WRITE_OWNER, false},
    };
    // Not a row: an owner re-ruling its own file, which OWNER RIGHTS refuses on Windows; Wine
    // grants an owner WRITE_DAC whatever the rules say.
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                               FILE_ALL_ACCESS};
    for (const AccessRow& row : rows) {
        PRIVILEGE_SET privileges;
        DWORD privilegesSize = sizeof privileges, granted = 0;
        BOOL allowed = FALSE;
        ASSERT_TRUE(AccessCheck(objects.at(row.object)->Get(), token, row.access, &mapping,
                                &privileges, &privilegesSize, &granted, &allowed))
            << row.what << " " << GetLastError();
        EXPECT_EQ(allowed != FALSE, row.allowed) << row.what;
    }
    CloseHandle(token);
}

using Files = std::map<std::string, Bytes>;

Files Contents(const std::filesystem::path& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files[entry.path().filename().string()] = ReadBytes(entry.path().string());
    }
    return files;
}

void Put(const std::filesystem::path& folder, const Files& files) {
    for (const auto& file : files) {
        ASSERT_TRUE(WriteBytes((folder / file.first).string(), file.second));
    }
}

// A name planted as a hard link to another file: a write replaces the name and never writes
// through it, and nothing reads or removes through a link.
TEST(CheckedFiles, NoWriteReadOrRemoveThroughAHardLink) {
    ScratchFolder scratch("checked"), elsewhere("target");
    const Bytes precious = Pattern(100, 7), copy = Pattern(600, 1);
    const std::filesystem::path target = elsewhere.Path() / "precious.bin";
    ASSERT_TRUE(WriteBytes(target.string(), precious));
    for (const char* name : {"Kavix-1-a.copy", "Kavix-1-b.copy"}) {
        ASSERT_TRUE(CreateHardLinkW((scratch.Path() / name).wstring().c_str(),
                                    target.wstring().c_str(), nullptr));
    }
    CSavedCopyFolder folder(scratch.Path().wstring());
    EXPECT_FALSE(
        folder.Read("Kavix-1-b.copy", [](const unsigned char*, std::size_t) { return true; }));
    EXPECT_FALSE(folder.Remove("Kavix-1-b.copy"));
    ASSERT_TRUE(folder.Write("Kavix-1-a.copy", {{copy.data(), copy.size()}}));
    ASSERT_TRUE(folder.Rename("Kavix-1-a.copy", "Kavix-1-c.copy"));
    EXPECT_EQ(ReadBytes(target.string()), precious);
    EXPECT_EQ(Contents(scratch.Path()),
              (Files{{"Kavix-1-b.copy", precious}, {"Kavix-1-c.copy", copy}}));
    EXPECT_TRUE(folder.WriterOf("Kavix-1-c.copy").trusted);
    EXPECT_TRUE(folder.Remove("Kavix-1-c.copy") && folder.Remove("Kavix-1-c.copy"));
    std::vector<std::string> names;
    EXPECT_TRUE(folder.Names(names));
    EXPECT_EQ(names, std::vector<std::string>{"Kavix-1-b.copy"});
    // A folder that could not be found (an empty path) is none: never the computer's.
    CSavedCopyFolder none{std::wstring()};
    EXPECT_TRUE(none.Names(names) && names.empty());
    EXPECT_FALSE(none.Write("Kavix-1-d.copy", {{copy.data(), copy.size()}}));
}

// A whole copy's file, as the program writes it, of a block made from `seed`.
Bytes CopyFileOf(unsigned seed) {
    ScratchFolder made("made");
    StdSavedCopyFolder store(made.Path());
    const Bytes block = Pattern(std::size_t(flash_map::kDataBlockSize), seed);
    EXPECT_TRUE(saved_copies::SaveMarked(store, block.data()));
    const Files files = Contents(made.Path());
    return files.empty() ? Bytes() : files.begin()->second;
}

TEST(LegacyCopies, MoveWithoutOverwritingOrLosingOne) {
    const Bytes a = CopyFileOf(1), b = CopyFileOf(2), c = CopyFileOf(3);
    Bytes damaged = a;
    damaged[damaged.size() / 2] ^= 1;
    // Another account's folder is only read: nothing leaves it.
    for (const auto& [writeFails, keep] : std::initializer_list<std::pair<bool, bool>>{
             {false, false}, {true, false}, {false, true}}) {
        ScratchFolder legacyFolder("legacy"), computerFolder("computer");
        Put(legacyFolder.Path(), {{"Kavix-1-a.copy", a},
                                  {"Kavix-2-b.copy", b},      // the computer's holds it already
                                  {"Kavix-3-c.copy", c},      // the computer's holds another
                                  {"Kavix-4-d.copy.tmp", c},  // no erase followed it
                                  {"Kavix-5-e.copy", damaged},
                                  {"notes.txt", c}});
        Put(computerFolder.Path(), {{"Kavix-2-b.copy", b}, {"Kavix-3-c.copy", a}});
        StdSavedCopyFolder legacy(legacyFolder.Path()), computer(computerFolder.Path());
        computer.failWrite = writeFails;
        MoveLegacyCopies(legacy, computer, keep);
        Files left = {{"Kavix-3-c.copy", c},
                      {"Kavix-4-d.copy.tmp", c},
                      {"Kavix-5-e.copy", damaged},
                      {"notes.txt", c}};
        Files moved = {{"Kavix-2-b.copy", b}, {"Kavix-3-c.copy", a}};
        (writeFails ? left : moved).insert({"Kavix-1-a.copy", a});
        if (writeFails) {
            moved.insert({"Kavix-1-a.copy.tmp", a});  // what the store's failed write leaves
        }
        if (keep) {
            left.insert({{"Kavix-1-a.copy", a}, {"Kavix-2-b.copy", b}});
            moved.insert({{"Kavix-1-a.copy.imported", {}}, {"Kavix-2-b.copy.imported", {}}});
        }
        EXPECT_EQ(Contents(legacyFolder.Path()), left) << writeFails << keep;
        EXPECT_EQ(Contents(computerFolder.Path()), moved) << writeFails << keep;
        if (keep) {
            // Its update served and the copy removed: a copy only read is never taken in again.
            std::filesystem::remove(computerFolder.Path() / "Kavix-1-a.copy");
            moved.erase("Kavix-1-a.copy");
            MoveLegacyCopies(legacy, computer, keep);
            EXPECT_EQ(Contents(computerFolder.Path()), moved);
        }
    }
}

}  // namespace
