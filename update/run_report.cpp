#include "run_report.h"

#include <cstdio>

#include "exit_code.h"
#include "flash_map.h"

const char* ExitCodeMeaning(int code) {
    switch (code) {
        case kExitUpdated:
            return "updated and read back";
        case kExitFailed:
            return "the update failed after the Kavix was changed; run again";
        case kExitUpToDate:
            return "nothing changed: the Kavix is up to date";
        case kExitNoDevice:
            return "nothing changed: no Kavix, not a Kavix, or its data could not be read";
        case kExitNoImage:
            return "nothing changed: no usable Kavix_V5.dat";
        case kExitMustDecide:
            return "nothing changed: a person must decide";
        case kExitCheckUpdateNeeded:
            return "the Kavix needs the update";
        case kExitCheckBlankDataBlock:
            return "the Kavix's data block reads blank; a person must decide";
        case kExitCheckUpdatePending:
            return "an interrupted update of the Kavix waits to be finished";
        case kExitWrongCommandLine:
            return "nothing changed: nobody can answer, or the command line is wrong";
        case kExitAnotherUpdate:
            return "nothing changed: another update is running; retry later";
        default:
            return "unknown";
    }
}

EventKind EventKindOf(int code) {
    switch (code) {
        case kExitUpdated:
        case kExitUpToDate:
        case kExitCheckUpdateNeeded:
            return EventKind::information;
        case kExitFailed:
        case kExitWrongCommandLine:
            return EventKind::error;
        default:
            return EventKind::warning;
    }
}

std::string ResultLine(int code) {
    return "Result: " + std::to_string(code) + " (" + ExitCodeMeaning(code) + ")";
}

std::string StatusText(const KavixStatus& status) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "[Kavix]\r\nSerialNumber=%ld\r\nFirmwareVersion=%u\r\nUpdatePending=%d\r\n"
                  "[LastRun]\r\nExitCode=%d\r\nResult=%s\r\nTimeUtc=%s\r\n",
                  long(status.serialNumber), unsigned(status.versionNow), status.pending ? 1 : 0,
                  status.exitCode, ExitCodeMeaning(status.exitCode), status.timeUtc.c_str());
    return text;
}

std::string EventText(const KavixStatus* status, int code, const std::string& logPath) {
    std::string text = "orvflash ended with exit code " + std::to_string(code) + ": " +
                       ExitCodeMeaning(code) + ".";
    if (status != nullptr) {
        text += " Kavix serial number " + std::to_string(status->serialNumber) +
                ", firmware version before " + std::to_string(status->versionBefore) + ", now " +
                (status->versionNow != 0 ? std::to_string(status->versionNow) : "unknown") + ".";
    } else {
        text += " No Kavix was identified.";
    }
    return text + " Log: " + logPath;
}

std::string CheckLine(const KavixStatus& status) {
    return "serial=" + std::to_string(status.serialNumber) +
           " version=" + std::to_string(status.versionNow) + " update=" +
           (status.versionNow < flash_map::kImageFirmwareVersion ||
                    flash_map::ReadsBlank(status.serialNumber, status.versionNow)
                ? "needed"
                : "not-needed") +
           " pending=" + (status.pending ? "yes" : "no");
}
