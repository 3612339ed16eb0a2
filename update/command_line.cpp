#include "command_line.h"

#include <climits>

namespace {

const std::vector<const char*> kUsage = {
    "Usage: orvflash.exe [/s] [/log=<file>] [/serial=<n>] [/label=<n>] [/force]",
    "  /s            Update without a window and without asking anyone. The exit code says",
    "                how the run ended. /quiet, /silent, /q and /qn mean the same.",
    "  /log=<file>   Also append the run's log to <file> (relative to the current folder;",
    "                a path with spaces in quotes).",
    "  /serial=<n>   With /s: update only the Kavix whose data reads serial number <n>.",
    "  /label=<n>    With /s: the label on the Kavix says serial number <n>; finishes an",
    "                interrupted update with the one saved copy of that serial number.",
    "  /force        With /s: update the Kavix even if its firmware is up to date.",
    "  /check        With /s: only read the Kavix and print serial=, version=, update=",
    "                and pending=; exit 2 up to date, 10 update needed, 11 blank data",
    "                block, 12 interrupted update pending.",
    "  /?, /help     Show this text.",
    "Kavix_V5.dat is looked up in the current folder.",
    "Exit codes: 0 updated, 1 failed after the Kavix was changed (run again), 2 already up",
    "to date, 3 no Kavix, 4 no usable Kavix_V5.dat, 6 a person must decide, 64 wrong command",
    "line, 1618 another update is running. Nothing was changed for 2-6, 64 and 1618.",
    "Every run is logged in orvflash.log in %ProgramData%\\orvflash.",
};

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

bool SameIgnoringCase(const std::wstring& text, const wchar_t* name) {
    std::size_t i = 0;
    for (; i < text.size() && name[i] != 0; ++i) {
        if (Lower(text[i]) != name[i]) {
            return false;
        }
    }
    return i == text.size() && name[i] == 0;
}

// For the log, which is ANSI text: other characters show as '?'.
std::string Printable(const std::wstring& text) {
    std::string printable;
    for (wchar_t c : text) {
        printable += c >= 0x20 && c < 0x7F ? char(c) : '?';
    }
    return printable;
}

bool SilentSwitch(const std::wstring& name) {
    for (const wchar_t* silent : {L"s", L"quiet", L"silent", L"q", L"qn"}) {
        if (SameIgnoringCase(name, silent)) {
            return true;
        }
    }
    return false;
}

// Decimal, as the serial question shows it: an optional minus and digits, within 32 bits.
std::optional<int32_t> SerialNumber(const std::wstring& text) {
    const bool negative = !text.empty() && text[0] == L'-';
    if (text.size() == (negative ? 1u : 0u)) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t(INT32_MAX) + 1) {
            return std::nullopt;
        }
    }
    value = negative ? -value : value;
    if (value > INT32_MAX) {
        return std::nullopt;
    }
    return int32_t(value);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLine command;
    bool serialGiven = false, labelGiven = false, logGiven = false;
    for (const std::wstring& argument : arguments) {
        const std::wstring body = !argument.empty() && (argument[0] == L'/' || argument[0] == L'-')
                                      ? argument.substr(1)
                                      : std::wstring();
        const std::size_t equals = body.find(L'=');
        const std::wstring name = body.substr(0, equals);
        const std::wstring value = equals == std::wstring::npos ? L"" : body.substr(equals + 1);
        const bool hasValue = equals != std::wstring::npos;
        std::string wrong;
        if (body.empty()) {
            wrong = "Not a switch";
        } else if (!hasValue && SilentSwitch(name)) {
            command.silent = true;
        } else if (!hasValue && SameIgnoringCase(name, L"force")) {
            command.force = true;
        } else if (!hasValue && SameIgnoringCase(name, L"check")) {
            command.check = true;
        } else if (!hasValue && (name == L"?" || SameIgnoringCase(name, L"help"))) {
            command.help = true;
        } else if (hasValue && SameIgnoringCase(name, L"serial")) {
            command.serial = SerialNumber(value);
            wrong = serialGiven       ? "Given twice"
                    : !command.serial ? "Not a serial number (a signed 32-bit decimal number)"
                                      : "";
            serialGiven = true;
        } else if (hasValue && SameIgnoringCase(name, L"label")) {
            command.label = SerialNumber(value);
            // -1 is what erased flash reads, never a label.
            wrong = labelGiven                               ? "Given twice"
                    : !command.label || *command.label == -1 ? "Not a label's serial number"
                                                             : "";
            labelGiven = true;
        } else if (hasValue && SameIgnoringCase(name, L"log")) {
            command.logFile = value;
            wrong = logGiven ? "Given twice" : value.empty() ? "No file named" : "";
            logGiven = true;
        } else {
            wrong = "Unknown switch";
        }
        if (!wrong.empty() && command.problem.empty()) {
            command.problem = wrong + ": \"" + Printable(argument) + "\"";
        }
    }
    if (command.problem.empty() && !command.silent &&
        (serialGiven || labelGiven || command.force)) {
        command.problem = "/serial, /label and /force are for /s only: with the window, you answer";
    }
    if (command.problem.empty() && command.check && (!command.silent || command.force)) {
        command.problem = "/check is for /s only, and changes nothing: /force has no sense with it";
    }
    return command;
}

const std::vector<const char*>& UsageLines() {
    return kUsage;
}
