// The computer's folder of saved copies: the rules it is given, and the copies of earlier versions
// moved into it.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "bytes.h"
#include "computer_folder.h"
#include "legacy_copies.h"
#include "scratch_folder.h"
#include "std_saved_copy_folder.h"

namespace {

// Wine keeps no security descriptor on its files (it turns one into a Unix mode and makes one up
// from that when asked) and enforces none, so the descriptor is checked as the program hands it
// over; no second account can be shown being refused.
TEST(ComputerFolderAccess, IsProtectedAndLetsEveryAccountChangeTheCopies) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        kComputerFolderAccess, SDDL_REVISION_1, &descriptor, nullptr));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present);
    EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "none of the program data folder's rules";
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    const std::vector<std::tuple<WELL_KNOWN_SID_TYPE, DWORD>> expected = {
        {WinLocalSystemSid, FILE_ALL_ACCESS},
        {WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
        {WinAuthenticatedUserSid, modify}};
    ASSERT_EQ(dacl->AceCount, expected.size());
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(std::make_tuple(ace->Header.AceType, ace->Header.AceFlags, ace->Mask),
                  std::make_tuple(BYTE(ACCESS_ALLOWED_ACE_TYPE),
                                  BYTE(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
                                  std::get<1>(expected[i])));
        EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, std::get<0>(expected[i]))) << i;
    }
    LocalFree(descriptor);
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

TEST(LegacyCopies, MoveWithoutOverwritingOrLosingOne) {
    const Bytes a = Pattern(600, 1), b = Pattern(600, 2), c = Pattern(600, 3);
    for (const bool writeFails : {false, true}) {
        ScratchFolder legacyFolder("legacy"), computerFolder("computer");
        Put(legacyFolder.Path(), {{"Kavix-1-a.copy", a},
                                  {"Kavix-2-b.copy", b},      // the computer's holds it already
                                  {"Kavix-3-c.copy", c},      // the computer's holds another
                                  {"Kavix-4-d.copy.tmp", c},  // no erase followed it
                                  {"notes.txt", c}});
        Put(computerFolder.Path(), {{"Kavix-2-b.copy", b}, {"Kavix-3-c.copy", a}});
        StdSavedCopyFolder legacy(legacyFolder.Path()), computer(computerFolder.Path());
        computer.failWrite = writeFails;
        MoveLegacyCopies(legacy, computer);
        Files left = {{"Kavix-3-c.copy", c}, {"Kavix-4-d.copy.tmp", c}, {"notes.txt", c}};
        Files moved = {{"Kavix-2-b.copy", b}, {"Kavix-3-c.copy", a}};
        (writeFails ? left : moved).insert({"Kavix-1-a.copy", a});
        if (writeFails) {
            moved.insert({"Kavix-1-a.copy.tmp", a});  // what the store's failed write leaves
        }
        EXPECT_EQ(Contents(legacyFolder.Path()), left) << writeFails;
        EXPECT_EQ(Contents(computerFolder.Path()), moved) << writeFails;
    }
}

}  // namespace
