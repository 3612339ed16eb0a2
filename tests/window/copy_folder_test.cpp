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

// What the folder is made with. Wine keeps no security descriptor on its files (it turns them into
// Unix modes and makes one up from those when asked) and enforces none, so the descriptor is
// checked as the program hands it over; no second account can be shown being refused.
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
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(ace->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
        EXPECT_EQ(ace->Mask, std::get<1>(expected[i])) << i;
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

class LegacyCopiesTest : public ::testing::Test {
protected:
    void Put(const std::filesystem::path& folder, const std::string& name, const Bytes& bytes) {
        ASSERT_TRUE(WriteBytes((folder / name).string(), bytes));
    }
    ScratchFolder legacyFolder{"legacy"};
    ScratchFolder computerFolder{"computer"};
    StdSavedCopyFolder legacy{legacyFolder.Path()};
    StdSavedCopyFolder computer{computerFolder.Path()};
    const Bytes a = Pattern(600, 1), b = Pattern(600, 2), c = Pattern(600, 3);
};

TEST_F(LegacyCopiesTest, CopiesMoveAndNothingIsOverwrittenOrLost) {
    Put(legacyFolder.Path(), "Kavix-1-0000000a.copy", a);
    Put(legacyFolder.Path(), "Kavix-2-0000000b.copy", b);  // the computer's holds it already
    Put(computerFolder.Path(), "Kavix-2-0000000b.copy", b);
    Put(legacyFolder.Path(), "Kavix-3-0000000c.copy", c);  // the computer's holds another
    Put(computerFolder.Path(), "Kavix-3-0000000c.copy", a);
    Put(legacyFolder.Path(), "Kavix-4-0000000d.copy.tmp", c);  // no erase followed it
    Put(legacyFolder.Path(), "notes.txt", c);
    MoveLegacyCopies(legacy, computer);
    EXPECT_EQ(
        Contents(legacyFolder.Path()),
        (Files{{"Kavix-3-0000000c.copy", c}, {"Kavix-4-0000000d.copy.tmp", c}, {"notes.txt", c}}));
    EXPECT_EQ(Contents(computerFolder.Path()), (Files{{"Kavix-1-0000000a.copy", a},
                                                      {"Kavix-2-0000000b.copy", b},
                                                      {"Kavix-3-0000000c.copy", a}}));
}

TEST_F(LegacyCopiesTest, ACopyThatCannotBeWrittenStaysWhereItIs) {
    Put(legacyFolder.Path(), "Kavix-1-0000000a.copy", a);
    computer.failWrite = true;
    MoveLegacyCopies(legacy, computer);
    EXPECT_EQ(Contents(legacyFolder.Path()), (Files{{"Kavix-1-0000000a.copy", a}}));
}

}  // namespace
