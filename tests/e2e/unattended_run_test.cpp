// Runs with nobody in front of the program (/s), as deployment tools start it: the exit code, no
// window and no box, what the Kavix holds afterwards and the log of the run.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "scenario_steps.h"
#include "simulator_identity.h"

namespace e2e {
namespace {

const char kAnotherUpdate[] = "Another update is running on this computer; nothing was done.";
const char kUsage[] = "Usage: orvflash.exe [/s] [/log=<file>] [/serial=<n>] [/label=<n>] [/force]";
const char kBlank[] = "Answer: No (the data block of the Kavix reads blank)";
const std::string kUpToDateAsked = "Question: " + std::string(kUpToDateQuestion) +
                                   " (serial number " + std::to_string(kTestSerial) + ")";
const char kClaimName[] = "Global\\orvflash-one-update-at-a-time";
const char kSimulator[] =
    "Device library: the simulated Kavix, a stand-in for the maker's orv_api.dll: no real Kavix is "
    "updated with it.";
const char kSimulatorAllowed[] =
    "ORV_ALLOW_SIMULATOR=1: the unattended run goes on with the simulated Kavix.";

// What happens before the unattended run.
enum class Before {
    nothing,
    windowProgramming,  // the window programs the Kavix, and goes on to the end afterwards
    cutInWindow,        // the window's update is cut short by a power loss
    claimNameTaken,     // an object of another kind holds the name of the claim
    simulatorRefused,   // ORV_ALLOW_SIMULATOR is not set for the run
};

// What another account planted in the run's way: a hard link in a log's name, carrying any write
// to another file, or a file where the computer's folder belongs.
enum class Planted { nothing, computerLogLink, runLogLink, fileForFolder };

struct Row {
    const char* name;
    std::wstring arguments;  // besides /log
    DWORD exitCode;
    Lines said;  // lines the run's log holds, in this order, with others between
    Scenario scenario = {};
    Before before = Before::nothing;
    bool unseen = false;  // started in a window station that nobody can see
    // Lines the status record (status.ini) holds after the run; none: no Kavix was identified.
    Lines status = {};
    Planted planted = Planted::nothing;
    friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

// The texts of a log file's lines, each checked for its local time and process id.
Lines LoggedTexts(const std::string& log) {
    static const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] (.*))");
    Lines texts;
    for (const std::string& line : LinesOf(log)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
        texts.push_back(match.size() > 1 ? match[1].str() : line);
    }
    return texts;
}

// Whether `lines` holds `wanted` in this order.
bool HoldsInOrder(const Lines& lines, const Lines& wanted) {
    auto at = lines.begin();
    for (const std::string& line : wanted) {
        at = std::find(at, lines.end(), line);
        if (at == lines.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

const char kPlantedText[] = "another file's own text\r\n";

// Plants `planted`; the file that a link shares with is `target`.
void Plant(Planted planted, const std::filesystem::path& runLog,
           const std::filesystem::path& target) {
    namespace fs = std::filesystem;
    std::ofstream(target, std::ios::binary) << kPlantedText;
    if (planted == Planted::computerLogLink) {
        fs::create_directories(Orvflash::CopyFolder());
        fs::create_hard_link(target, Orvflash::ComputerLog());
    } else if (planted == Planted::runLogLink) {
        fs::create_hard_link(target, runLog);
    } else if (planted == Planted::fileForFolder) {
        fs::copy_file(target, Orvflash::CopyFolder());
    }
}

// What was moved aside from where the computer's folder belongs, each taken away once read.
std::vector<std::string> TakeMovedAside() {
    std::vector<std::string> moved;
    const std::filesystem::path programData = Orvflash::CopyFolder().parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(programData)) {
        if (entry.path().filename().string().rfind("orvflash (moved aside ", 0) == 0) {
            moved.push_back(ReadText(entry.path()));
            std::filesystem::remove(entry.path());
        }
    }
    return moved;
}

class UnattendedRun : public ::testing::TestWithParam<Row> {};

TEST_P(UnattendedRun, EndsWithItsExitCodeAndNoWindow) {
    const Row& row = GetParam();
    const bool window =
        row.before == Before::windowProgramming || row.before == Before::cutInWindow;
    Orvflash app(row.scenario, window);
    HANDLE squatter = nullptr;
    if (row.before == Before::windowProgramming) {
        ConfirmUpdate(app);
    } else if (row.before == Before::cutInWindow) {
        AnswerYesToUpdate(app);
        ASSERT_TRUE(app.WaitForExit(kRunTimeoutMs));
        ASSERT_EQ(app.ExitCode(), DWORD(ORV_SIMULATOR_POWER_LOSS_EXIT_CODE))
            << "ended by the simulator";
    } else if (row.before == Before::claimNameTaken) {
        squatter = CreateEventA(nullptr, TRUE, FALSE, kClaimName);
        ASSERT_NE(squatter, nullptr);
    }
    const Bytes before = app.Flash();
    const std::size_t callsBefore = app.Trace().size();
    const std::filesystem::path planted = app.Folder() / "planted.txt";
    if (row.planted != Planted::nothing) {
        Plant(row.planted, app.Folder() / "run log.txt", planted);
    }

    if (row.before == Before::simulatorRefused) {
        SetEnvironmentVariableA("ORV_ALLOW_SIMULATOR", nullptr);
    }
    // Relative to the current directory, with a space: quoted.
    const Unattended run =
        app.RunUnattended(row.arguments + L" /log=\"run log.txt\"", kRunTimeoutMs, row.unseen);
    SetEnvironmentVariableA("ORV_ALLOW_SIMULATOR", "1");
    if (squatter != nullptr) {
        CloseHandle(squatter);
    }
    EXPECT_EQ(run.exitCode, row.exitCode);
    EXPECT_EQ(run.windows, 0) << "a window or a box";
    if (row.planted != Planted::nothing) {
        EXPECT_EQ(ReadText(planted), kPlantedText) << "written through a link";
        EXPECT_EQ(TakeMovedAside(),
                  std::vector<std::string>(row.planted == Planted::fileForFolder, kPlantedText));
    }

    // A /log planted as a link is not used: the computer's log tells why.
    const std::string log =
        ReadText(row.planted == Planted::runLogLink ? Orvflash::ComputerLog()
                                                    : app.Folder() / "run log.txt");
    const Lines texts = LoggedTexts(log);
    ASSERT_FALSE(texts.empty()) << "no log";
    EXPECT_EQ(texts.front().rfind("orvflash ", 0), 0u) << texts.front();
    // Which orv_api.dll the run loaded, what it says it is and whether it is signed.
    static const std::regex library(
        R"(Device library: .*\\orv_api\.dll\|Device library: "Simulated Kavix: [^"]*", )"
        R"(version \d+\.\d+\.\d+\.\d+, not signed\.)");
    EXPECT_TRUE(texts.size() > 2 && std::regex_match(texts[1] + "|" + texts[2], library))
        << ::testing::PrintToString(texts);
    EXPECT_EQ(texts.back(), "orvflash ended with exit code " + std::to_string(row.exitCode) + ".");
    EXPECT_TRUE(HoldsInOrder(texts, row.said)) << ::testing::PrintToString(texts);
    // The computer's log has the same lines.
    const Lines computerLog = LinesOf(ReadText(Orvflash::ComputerLog()));
    EXPECT_EQ(HoldsInOrder(computerLog, LinesOf(log)), row.planted != Planted::computerLogLink);
    // The usage, for a wrong command line or one that asks for it, to whoever started the program.
    const bool usage =
        (row.exitCode == 64 && !row.unseen) || row.arguments.find(L"/?") != std::wstring::npos;
    const std::string output = ReadText(app.Folder() / "output.txt");
    EXPECT_EQ(output.find(kUsage) != std::string::npos, usage);
    // The run's lines too, and its result last.
    EXPECT_NE(output.find("\r\nResult: " + std::to_string(row.exitCode) + " ("), std::string::npos)
        << output;
    if (!row.status.empty()) {
        const Lines status = LinesOf(ReadText(Orvflash::CopyFolder() / "status.ini"));
        EXPECT_TRUE(HoldsInOrder(status, row.status)) << ::testing::PrintToString(status);
        // What a detection rule reads: the registry's 64-bit view, written by an elevated run.
        DWORD version = 0, size = sizeof version;
        EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\orvflash", L"FirmwareVersion",
                               RRF_RT_REG_DWORD | 0x00010000 /* RRF_SUBKEY_WOW6464KEY */, nullptr,
                               &version, &size),
                  ERROR_SUCCESS);
        EXPECT_TRUE(Has(status, "FirmwareVersion=" + std::to_string(version)));
    }

    if (row.before == Before::windowProgramming) {
        // The window's run goes on undisturbed, its lines in the computer's log too.
        FinishRun(app, {kIdentifying, kUpdating});
        ExpectCalls(app.Trace(), CompleteRunCalls(layout::kImageLimit));
        ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
        const std::string finished =
            "[" + std::to_string(app.ProcessId()) + "] " + std::string(kFinishedUpdating);
        EXPECT_NE(ReadText(Orvflash::ComputerLog()).find(finished + "\r\n"), std::string::npos);
    } else if (Has(texts, kFinishedUpdating)) {
        ExpectFlash(app.Flash(), FlashAfterRun(app.InitialFlash(), app.Image()));
        EXPECT_TRUE(Orvflash::SavedCopies().empty()) << "the copy is removed after success";
    } else if (row.exitCode == 1) {
        EXPECT_NE(FirstDifference(app.Flash(), before), "") << "the Kavix was changed";
        EXPECT_EQ(CopiesKept().size(), 1u) << "the copy is kept";
    } else {
        ExpectFlash(app.Flash(), before);
    }
    if ((row.exitCode == 1618 || row.exitCode == 64 || row.before == Before::simulatorRefused) &&
        row.before != Before::windowProgramming) {
        EXPECT_EQ(app.Trace().size(), callsBefore) << "no device call";
    }
}

const std::wstring kSilent = L"/s";

INSTANTIATE_TEST_SUITE_P(
    , UnattendedRun,
    ::testing::ValuesIn(std::vector<Row>{
        {"Updates",
         kSilent,
         0,
         {kSimulator, kSimulatorAllowed, kIdentifying, "Question: " + SerialQuestion(kTestSerial),
          "Answer: Yes (no /serial)", kUpdating, kFinishedUpdating},
         {},
         Before::nothing,
         false,
         {"SerialNumber=20481234", "FirmwareVersion=5", "UpdatePending=0", "ExitCode=0"}},
        {"Quiet", L"/quiet", 0, {kIdentifying, "Answer: Yes (no /serial)", kFinishedUpdating}},
        {"UpdatesTheSerialNumberGiven",
         L"-S /Serial=20481234",
         0,
         {"Answer: Yes (/serial=20481234)", kFinishedUpdating}},
        {"UpToDate",
         kSilent,
         2,
         {kUpToDate, kUpToDateAsked, "Answer: No (no /force)"},
         {{}, DeviceFlash(kTestSerial, 5)}},
        {"UpToDateForced",
         L"/s /force",
         0,
         {"Answer: Yes (/force)", "Answer: Yes (no /serial)", kFinishedUpdating},
         {{}, DeviceFlash(kTestSerial, 5)}},
        {"NoKavix", kSilent, 3, {kOpenFailed[0]}, {{{"ORV_SIM_OPEN_FAIL", "1"}}}},
        {"SimulatedKavixRefused",
         kSilent,
         3,
         {kSimulator,
          "The orv_api.dll loaded is the simulated Kavix, not the maker's library: an unattended "
          "run does not update with it, and nothing was done. Put the maker's orv_api.dll beside "
          "orvflash.exe; to try orvflash unattended with the simulator, set "
          "ORV_ALLOW_SIMULATOR=1."},
         {},
         Before::simulatorRefused},
        {"NoImage", kSilent, 4, {kMissingImage[0]}, {{}, DeviceFlash(), std::nullopt}},
        // A cut whose copy is on another computer: neither up to date nor to be written back.
        {"BlankBlock", kSilent, 6, {kBlank}, {{}, DeviceFlash(-1, 0xFFFF)}},
        {"BlankBlockForced", L"/s /force", 6, {kBlank}, {{}, DeviceFlash(-1, 0xFFFF)}},
        {"WhileTheWindowPrograms",
         kSilent,
         1618,
         {kAnotherUpdate},
         SlowProgramming("1"),
         Before::windowProgramming},
        {"ClaimNameTakenByAnotherKind",
         kSilent,
         1618,
         {kAnotherUpdate},
         {},
         Before::claimNameTaken},
        {"SerialNumberNotTheKavix",
         L"/s /serial=-20481234",
         6,
         {"Answer: No (/serial=-20481234, which is not the Kavix attached)"}},
        {"PageWriteFails",
         kSilent,
         1,
         {kWriteError[1]},
         {{{"ORV_SIM_WRITE_FAIL_PAGE", "1000"}}},
         Before::nothing,
         false,
         {"FirmwareVersion=0", "UpdatePending=1", "ExitCode=1"}},
        // Reads only: the flash and the copies as they were.
        {"Check",
         L"/s /check",
         10,
         {"serial=20481234 version=4 update=needed pending=no"},
         {},
         Before::nothing,
         false,
         {"FirmwareVersion=4", "UpdatePending=0", "ExitCode=10"}},
        // The serial number survived the cut: the copy is this Kavix's.
        {"CutInTheWindowFinished",
         kSilent,
         0,
         {kRecovered, kFinishedUpdating},
         {{{"ORV_SIM_EXIT_AT_PAGE", "2900"}}},
         Before::cutInWindow},
        // The cut took the serial number: only the label can tell.
        {"CutTookTheSerialNumber",
         kSilent,
         6,
         {"Answer: None (only a person reading the label on the Kavix can answer)"},
         {{{"ORV_SIM_EXIT_AT_PAGE", "0"}}},
         Before::cutInWindow},
        // Someone read the label: the copy of that serial number goes back.
        {"CutTookTheSerialNumberLabelled",
         L"/s /label=20481234",
         0,
         {"Answer: Yes (/label=20481234)", kRecovered, kFinishedUpdating},
         {{{"ORV_SIM_EXIT_AT_PAGE", "0"}}},
         Before::cutInWindow},
        {"UnknownSwitch", L"/s /bogus", 64, {"Unknown switch: \"/bogus\"", kUsage}},
        {"UnknownSwitchQuiet", L"/bogus /qn", 64, {"Unknown switch: \"/bogus\""}},
        {"NobodyCanSee",
         L"",
         64,
         {"Nobody can see this start (session 0, a hidden window station or SYSTEM's account): no "
          "window is shown. Use /s for an update with nobody in front of it."},
         {},
         Before::nothing,
         true},
        {"NobodyCanSeeSilent", kSilent, 0, {kFinishedUpdating}, {}, Before::nothing, true},
        {"UsageWithoutABox", L"/s /?", 0, {}},
        {"ComputerLogPlantedAsALink",
         kSilent,
         0,
         {kFinishedUpdating},
         {},
         Before::nothing,
         false,
         {},
         Planted::computerLogLink},
        {"RunLogPlantedAsALink",
         kSilent,
         0,
         {"The /log file run log.txt is not used: it is a link to another file, a folder or a "
          "device.",
          kFinishedUpdating},
         {},
         Before::nothing,
         false,
         {},
         Planted::runLogLink},
        // Wine's runs are elevated: the file is moved aside and kept, and the run completes.
        {"FileWhereTheFolderBelongs",
         kSilent,
         0,
         {kFinishedUpdating},
         {},
         Before::nothing,
         false,
         {},
         Planted::fileForFolder}}),
    ::testing::PrintToStringParamName());

}  // namespace
}  // namespace e2e
