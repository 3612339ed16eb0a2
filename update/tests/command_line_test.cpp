#include "command_line.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct Row {
    const char* name;
    std::vector<std::wstring> arguments;
    CommandLine expected;  // `problem`: a part of what the parser says, or empty
    friend void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }
};

// In the order of the fields: silent, force, help, serial, label, log file, problem.
CommandLine Silent(std::optional<int32_t> serial = {}, bool force = false, std::wstring log = L"") {
    return {true, force, false, serial, {}, log, ""};
}
CommandLine Label(int32_t label) {
    return {true, false, false, {}, label, L"", ""};
}
const CommandLine kHelp = {false, false, true, {}, {}, L"", ""};
CommandLine Log(std::wstring log) {
    return {false, false, false, {}, {}, log, ""};
}
CommandLine Check() {
    CommandLine check = Silent();
    check.check = true;
    return check;
}
CommandLine Wrong(const char* problem) {
    return {false, false, false, {}, {}, L"", problem};
}
CommandLine SilentWrong(const char* problem) {
    return {true, false, false, {}, {}, L"", problem};
}

class CommandLineTest : public ::testing::TestWithParam<Row> {};

TEST_P(CommandLineTest, Parses) {
    const CommandLine& expected = GetParam().expected;
    const CommandLine parsed = ParseCommandLine(GetParam().arguments);
    if (!expected.Valid()) {
        EXPECT_NE(parsed.problem.find(expected.problem), std::string::npos) << parsed.problem;
        // A wrong command line naming a silent switch shows no box.
        EXPECT_TRUE(parsed.silent || !expected.silent);
        return;
    }
    EXPECT_EQ(parsed.problem, "");
    EXPECT_EQ(parsed.silent, expected.silent);
    EXPECT_EQ(parsed.force, expected.force);
    EXPECT_EQ(parsed.help, expected.help);
    EXPECT_EQ(parsed.serial, expected.serial);
    EXPECT_EQ(parsed.label, expected.label);
    EXPECT_TRUE(parsed.logFile == expected.logFile);
    EXPECT_EQ(parsed.check, expected.check);
}

INSTANTIATE_TEST_SUITE_P(
    , CommandLineTest,
    ::testing::ValuesIn(std::vector<Row>{
        {"None", {}, CommandLine()},
        {"Silent", {L"/s"}, Silent()},
        {"DashAndCapitals", {L"-S", L"/FORCE", L"-Serial=7"}, Silent(7, true)},
        {"SilentTwice", {L"/s", L"/s"}, Silent()},
        {"SerialNegative", {L"/s", L"/serial=-1294967296"}, Silent(-1294967296)},
        {"SerialLowest", {L"/s", L"/serial=-2147483648"}, Silent(INT32_MIN)},
        {"SerialHighest", {L"/s", L"/serial=2147483647"}, Silent(INT32_MAX)},
        {"SerialTooHigh", {L"/s", L"/serial=2147483648"}, Wrong("Not a serial number")},
        {"SerialTooLow", {L"/s", L"/serial=-2147483649"}, Wrong("Not a serial number")},
        {"SerialHuge", {L"/s", L"/serial=99999999999999999999"}, Wrong("Not a serial number")},
        {"SerialPlus", {L"/s", L"/serial=+5"}, Wrong("Not a serial number")},
        {"SerialHex", {L"/s", L"/serial=0x10"}, Wrong("Not a serial number")},
        {"SerialEmpty", {L"/s", L"/serial="}, Wrong("Not a serial number")},
        {"SerialMinusAlone", {L"/s", L"/serial=-"}, Wrong("Not a serial number")},
        {"SerialTwice", {L"/s", L"/serial=1", L"/serial=1"}, Wrong("Given twice")},
        {"SerialWithoutSilent", {L"/serial=1"}, Wrong("for /s only")},
        {"ForceWithoutSilent", {L"/force"}, Wrong("for /s only")},
        {"Quiet", {L"/quiet"}, Silent()},
        {"SilentWord", {L"-SILENT"}, Silent()},
        {"Q", {L"/q"}, Silent()},
        {"Qn", {L"/QN"}, Silent()},
        {"Label", {L"/qn", L"/label=20481234"}, Label(20481234)},
        {"LabelMinusOne", {L"/s", L"/label=-1"}, Wrong("Not a label's serial number")},
        {"LabelNotANumber", {L"/s", L"/label=abc"}, Wrong("Not a label's serial number")},
        {"LabelTwice", {L"/s", L"/label=1", L"/label=2"}, Wrong("Given twice")},
        {"LabelWithoutSilent", {L"/label=1"}, Wrong("for /s only")},
        {"WrongButSilent", {L"/x", L"/quiet"}, SilentWrong("Unknown switch: \"/x\"")},
        // As CommandLineToArgvW leaves /log="C:\a b\x.log": the quotes gone, the spaces kept.
        {"LogWithSpaces", {L"/log=C:\\a b\\x.log", L"/s"}, Silent({}, false, L"C:\\a b\\x.log")},
        {"LogKeepsItsCase", {L"/LOG=Run.Log"}, Log(L"Run.Log")},
        {"LogOutsideAnsi", {L"/log=\u0416\u00e9\u4e2d.log"}, Log(L"\u0416\u00e9\u4e2d.log")},
        {"LogWithEquals", {L"/log=a=b.log"}, Log(L"a=b.log")},
        {"LogEmpty", {L"/log="}, Wrong("No file named: \"/log=\"")},
        {"LogTwice", {L"/log=a", L"/log=b"}, Wrong("Given twice: \"/log=b\"")},
        {"Check", {L"/s", L"/CHECK"}, Check()},
        {"CheckWithoutSilent", {L"/check"}, Wrong("/check is for /s only")},
        {"CheckForced", {L"/s", L"/check", L"/force"}, Wrong("/check is for /s only")},
        {"HelpQuestionMark", {L"/?"}, kHelp},
        {"HelpWord", {L"-HELP"}, kHelp},
        {"Unknown", {L"/x"}, Wrong("Unknown switch: \"/x\"")},
        {"UnknownNamedOutsideAnsi", {L"/\u0416"}, Wrong("Unknown switch: \"/?\"")},
        {"UnknownAfterHelp", {L"/?", L"/quietly"}, Wrong("Unknown switch: \"/quietly\"")},
        {"SwitchTakesNoValue", {L"/s=1"}, Wrong("Unknown switch")},
        {"ValueSwitchWithoutValue", {L"/log"}, Wrong("Unknown switch")},
        {"PrefixOfASwitch", {L"/sil"}, Wrong("Unknown switch")},
        {"NotASwitch", {L"s"}, Wrong("Not a switch: \"s\"")},
        {"SlashAlone", {L"/"}, Wrong("Not a switch")},
        {"EmptyArgument", {L""}, Wrong("Not a switch")},
        {"FirstProblemNamed", {L"/x", L"/y"}, Wrong("\"/x\"")}}),
    ::testing::PrintToStringParamName());

}  // namespace
