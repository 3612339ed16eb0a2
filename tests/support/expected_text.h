// What the updater says, as a user reads it: written out here, apart from the program's own texts.
#ifndef ORVFLASH_TESTS_SUPPORT_EXPECTED_TEXT_H
#define ORVFLASH_TESTS_SUPPORT_EXPECTED_TEXT_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// The updater window's caption, by which every driver finds it.
inline const char kUpdaterCaption[] = "Quorlan ORV Firmware Updater";

inline const Lines kWelcome = {
    "Welcome to the Kavix firmware updater. Before beginning, ensure the",
    "Kavix is connected to your computer and displays a solid green LED. Please",
    "allow up to two minutes for the program to complete once started. During",
    "this time, do not unplug the Kavix for any reason. It is advised all other",
    "programs are closed before beginning. Failure to adhere to this advice may",
    "leave the Kavix in an un-operational state.",
    "",
    "When you are ready, click the \"Update\" button",
    "",
};

inline const char kIdentifying[] = "Identifying device, please wait..";
inline const char kUpToDate[] = "Firmware is up to date.";
inline const char kUpdating[] = "Updating... Do not unplug the Kavix";
inline const char kSafeToClose[] = "You may safely close the application.";
inline const char kRecovered[] =
    "An earlier update of this Kavix did not finish. Its saved data will be written back.";
inline const char kAdvice[] = "If you continue to have problems, contact Brevandt.";

inline const char kFinishedUpdating[] = "Finished updating.";
inline const Lines kFinished = {"", kFinishedUpdating, kSafeToClose};
inline const Lines kMissingImage = {"Could not find update file, unable to continue."};
inline const Lines kImageTooLarge = {"The update file is too large, unable to continue.", ""};
inline const Lines kEmptyImage = {"The update file is empty, unable to continue.", ""};
inline const Lines kOpenFailed = {"Unable to open device, ensure it is plugged in properly.",
                                  "Aborting update, close program and try again.", ""};
inline const Lines kNotAKavix = {"Device attached is not a Kavix", "Aborting update.", ""};
inline const Lines kReadFailed = {"Error reading flash contents.",
                                  "Unable to continue, aborting safely.",
                                  "Close the program and try again.", kAdvice, ""};
inline const Lines kWriteError = {"", "Error writing to the Kavix, the update did not complete.",
                                  "Do not unplug the Kavix. Close the program and try again.",
                                  kAdvice, ""};

inline const Lines kEraseError = {"", "Error erasing the Kavix, the update did not complete.",
                                  "Do not unplug the Kavix. Close the program and try again.",
                                  kAdvice, ""};

// An erase that failed and changed nothing: the copy goes, and the Kavix keeps its data.
inline const Lines kEraseNothingChanged = {
    "", "Error erasing the Kavix, nothing was changed.",
    "The Kavix holds what it held before. Close the program and try again.", kAdvice, ""};
inline const Lines kReadBackError = {
    "", "Error reading back the Kavix, the update may not have completed.",
    "Do not unplug the Kavix. Close the program and try again.", kAdvice, ""};

inline const char kUpToDateQuestion[] = "Firmware is up to date. Do you want to continue?";
inline const char kCloseWarning[] =
    "WARNING: You should not close the application while the firmware is updating. Doing so may "
    "leave the Kavix in an unoperational state. Are you sure you wish to close the application?";
inline const char kAlreadyStarted[] =
    "You have already started an update. Either wait for the program to finish, or relaunch the "
    "application";

inline std::string SerialQuestion(int32_t serial) {
    return "Attempting to update Kavix with serial number " + std::to_string(serial) +
           ", if this is correct and you wish to continue, click yes";
}

// Asked when a cut has left the data block without the serial number of a copy it may hold.
inline std::string LabelQuestion(int32_t copySerial, int32_t readSerial) {
    const std::string copy = std::to_string(copySerial);
    return "An update of the Kavix with serial number " + copy +
           " did not finish. Its data may be what the Kavix attached holds now, whose serial "
           "number reads " +
           std::to_string(readSerial) + ". If the label on the Kavix attached says " + copy +
           ", click yes to write the saved data back. Otherwise click no to update it with the "
           "data it holds.";
}

// A question without the lines that name the copy and say why it is asked.
inline std::string FirstParagraph(const std::string& question) {
    return question.substr(0, question.find("\n\n"));
}
inline Lines FirstParagraphs(Lines questions) {
    for (std::string& question : questions) {
        question = FirstParagraph(question);
    }
    return questions;
}

inline Lines CopyUnreadable(const std::string& name, const std::string& folder) {
    return {"The saved copy " + name + " in " + folder + " cannot be read, unable to continue.",
            "Nothing was changed. Move that file to another folder and keep it, then try again.",
            kAdvice, ""};
}

inline const Lines kOtherKavix = {
    "The Kavix attached is not the one that was read. Nothing was erased.",
    "Aborting update, close program and try again.", ""};

// The lines of a log as the window holds it, without their "\r\n"; a last line without one is
// marked, so that it never passes for a whole line.
inline Lines LinesOf(const std::string& log) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(log.substr(start, end - start));
    }
    if (start < log.size()) {
        lines.push_back(log.substr(start) + "<no line end>");
    }
    return lines;
}

inline Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The welcome text followed by `lines`, and then by each of `more`.
inline Lines LogOf(std::initializer_list<std::string> lines,
                   std::initializer_list<Lines> more = {}) {
    Lines log = kWelcome;
    log.insert(log.end(), lines.begin(), lines.end());
    for (const Lines& block : more) {
        log.insert(log.end(), block.begin(), block.end());
    }
    return log;
}

#endif
