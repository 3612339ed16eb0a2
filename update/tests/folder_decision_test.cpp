// What the program does with the computer's folder and its files, from the facts their handles
// show, and which /log paths it opens at all. Portable code of app/computer_files.
#include <gtest/gtest.h>

#include "folder_decision.h"
#include "log_path.h"
#include "log_text.h"

namespace {

struct FolderRow {
    const char* what;
    PlaceFacts place;
    FolderAction action;
};

PlaceFacts Place(bool directory, bool reparse, bool rules, Owner owner, bool elevated) {
    PlaceFacts place;
    place.directory = directory;
    place.reparsePoint = reparse;
    place.programRules = rules;
    place.owner = owner;
    place.elevated = elevated;
    return place;
}

TEST(FolderDecision, FromWhatTheHandleShows) {
    PlaceFacts missing;
    missing.exists = false;
    const Owner other = Owner::otherAccount, runner = Owner::runner;
    const FolderRow rows[] = {
        {"nothing there", missing, FolderAction::make},
        {"ours, made by another account", Place(true, false, true, other, false),
         FolderAction::use},
        {"other rules, elevated", Place(true, false, false, other, true), FolderAction::reRule},
        {"other rules, its owner", Place(true, false, false, runner, false), FolderAction::reRule},
        {"other rules, another's", Place(true, false, false, other, false),
         FolderAction::useAsItStands},
        {"junction, elevated", Place(true, true, true, other, true), FolderAction::moveAside},
        {"junction, standard", Place(true, true, true, runner, false), FolderAction::refuse},
        {"file, elevated", Place(false, false, false, Owner::system, true),
         FolderAction::moveAside},
        {"file, standard", Place(false, false, false, runner, false), FolderAction::refuse},
    };
    for (const FolderRow& row : rows) {
        EXPECT_EQ(DecideFolder(row.place), row.action) << row.what;
    }
    FileFacts linked, device, junction;
    linked.links = 2;
    device.diskFile = false;
    junction.reparsePoint = true;
    EXPECT_TRUE(IsPlainFile(FileFacts()));
    EXPECT_FALSE(IsPlainFile(linked) || IsPlainFile(device) || IsPlainFile(junction));
    for (const Owner owner : {Owner::system, Owner::administrators, Owner::runner}) {
        EXPECT_TRUE(IsTrustedWriter(owner) && MayUseLogFile(owner));
    }
    EXPECT_FALSE(IsTrustedWriter(other) || MayUseLogFile(other));
    EXPECT_TRUE(MayTrimLog(runner, false) && MayTrimLog(Owner::system, true));
    EXPECT_FALSE(MayTrimLog(Owner::system, false) || MayTrimLog(other, false));
}

TEST(LogPath, OnlyPlainLocalPathsAreOpened) {
    for (const wchar_t* path : {L"run log.txt", L"C:\\Logs\\orvflash.log", L"..\\a.log",
                                L"C:/Logs/console.log", L"\\Logs\\a.log"}) {
        EXPECT_EQ(LogPathProblem(path), "") << std::string(path, path + wcslen(path));
    }
    for (const wchar_t* path : {L"\\\\.\\pipe\\x", L"\\\\?\\C:\\a.log", L"\\\\server\\share\\a",
                                L"//server/share/a", L"NUL", L"C:\\Logs\\con.txt", L"com1",
                                L"LPT9.log ", L"CONOUT$", L"C:a.log", L"a.log:stream", L""}) {
        EXPECT_NE(LogPathProblem(path), "") << std::string(path, path + wcslen(path));
    }
}

TEST(LogText, ControlCharactersCannotForgeALine) {
    EXPECT_EQ(EscapedControls("a\r\n2026 [1] b\tc\x01\x7f\xc3\xa9"),
              "a\\r\\n2026 [1] b\\tc\\x01\\x7f\xc3\xa9");
}

}  // namespace
