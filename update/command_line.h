// The program's command line, for the deployment tools that start it with nobody in front of it.
// Portable: the arguments come as wide strings (CommandLineToArgvW's, without the program's name),
// so that a /log path keeps every character; the switches themselves are ASCII.
#ifndef ORVFLASH_UPDATE_COMMAND_LINE_H
#define ORVFLASH_UPDATE_COMMAND_LINE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    bool silent = false;  // /s (or /quiet, /silent, /q, /qn): no window, no box, decisions
                          // by the switches
    bool force = false;   // /force: a Kavix that is up to date is updated all the same
    bool help = false;    // /? or /help
    std::optional<int32_t> serial;  // /serial=<n>: only the Kavix with this serial number
    std::optional<int32_t> label;   // /label=<n>: the serial number a person read on the label
    std::wstring logFile;           // /log=<file>: empty if not given
    // Empty when the command line is right; otherwise what is wrong, in ASCII, for the log.
    std::string problem;
    bool check = false;  // /check: with /s, only reads the Kavix and the copies

    bool Valid() const { return problem.empty(); }
};

// Switches are case-insensitive and begin with '/' or '-'. /serial, /label and /force need /s: with
// the window, a person answers. A value switch given twice is wrong. `silent` is set wherever a
// silent switch is named, also on a wrong command line: such a start shows no box.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// The usage, one line each, plain ASCII.
const std::vector<const char*>& UsageLines();

#endif
