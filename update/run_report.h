// What deployment tools and monitoring read of a run: the meaning of each exit code, the kind of
// event log entry it makes, the status record it leaves and the read-only check's line.
#ifndef ORVFLASH_UPDATE_RUN_REPORT_H
#define ORVFLASH_UPDATE_RUN_REPORT_H

#include <cstdint>
#include <string>

// A few words, for the log's last line, standard output and the status record.
const char* ExitCodeMeaning(int code);

// The kind of the Application event log entry of an unattended run.
enum class EventKind { information, warning, error };
EventKind EventKindOf(int code);

// "Result: <code> (<meaning>)", the last line on standard output.
std::string ResultLine(int code);

// What a run knew of the Kavix it identified.
struct KavixStatus {
    int32_t serialNumber = 0;
    uint16_t versionBefore = 0;
    // The firmware version the Kavix holds now; 0 while an update of it is unfinished or unknown.
    uint16_t versionNow = 0;
    bool pending = false;  // an interrupted update waits for its saved copy
    int exitCode = 0;
    std::string timeUtc;  // ISO 8601, "2026-12-09T04:05:06Z"
};

// The status record as an .ini file's text, lines ending "\r\n".
std::string StatusText(const KavixStatus& status);

// The text of an unattended run's event: result, serial number, versions, where the log is.
std::string EventText(const KavixStatus* status, int code, const std::string& logPath);

// The read-only check's one line: "serial=<n> version=<v> update=needed|not-needed pending=yes|no".
std::string CheckLine(const KavixStatus& status);

#endif
