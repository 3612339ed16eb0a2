// The log of a run, with or without the window: each line, with its local time and the process's
// id, appended to every file given (orvflash.log in the computer's folder, and a /log file). A file
// that cannot be written is passed over: the log never stops or changes a run.
#ifndef ORVFLASH_APP_RUN_LOG_H
#define ORVFLASH_APP_RUN_LOG_H

#include <mutex>
#include <string>
#include <vector>

class RunLog {
public:
    // Appends to `path` from now on, relative to the current directory; with `capped` its older
    // half is dropped whenever it grows over 1 MiB.
    void AddFile(const std::wstring& path, bool capped);
    // Where standard output is a file or a pipe (a deployment tool's, a redirection), each line
    // goes there too, without its time; true if it does.
    bool EchoToStandardOutput();
    bool Echoes() const { return output != nullptr; }
    // One line, without its line end. Any thread.
    void Append(const char* text);

private:
    struct File {
        std::wstring path;
        bool capped;
    };
    std::vector<File> files;
    void* output = nullptr;
    std::mutex appending;
};

#endif
