// The log of a run, with or without the window: each line, with its local time and the process's
// id, in UTF-8, appended to orvflash.log in the computer's folder and to a /log file. A file that
// cannot be written is passed over: the log never stops or changes a run. Every file is opened
// without following a link and checked on its handle (computer_files/).
#ifndef ORVFLASH_APP_RUN_LOG_H
#define ORVFLASH_APP_RUN_LOG_H

#include <memory>
#include <mutex>
#include <string>

#include "checked_folder.h"
#include "folder_rules.h"

class RunLog {
public:
    RunLog();
    ~RunLog();

    // Appends to orvflash.log in `folder` from now on, opened for each line: other runs append
    // too. Its older half goes whenever it grows over 1 MiB, in a run that may replace it.
    void AddComputerLog(CheckedFolder& folder);
    // Appends to the /log file `path` from now on, relative to the current directory; empty if
    // it is used, otherwise why not, for the log.
    std::string AddFile(const std::wstring& path);
    // Where standard output is a file or a pipe (a deployment tool's, a redirection), each line
    // goes there too, without its time; true if it does.
    bool EchoToStandardOutput();
    bool Echoes() const { return output != nullptr; }
    // One line of the program's own text (ANSI code page), without its line end. Any thread.
    void Append(const char* text);
    // One line already in UTF-8.
    void AppendUtf8(const std::string& text);

private:
    void Trim();

    CheckedFolder* computer = nullptr;
    std::unique_ptr<Descriptor> logRules;
    FileHandle file;
    void* output = nullptr;
    std::mutex appending;
};

#endif
