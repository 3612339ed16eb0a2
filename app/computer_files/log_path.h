// Which /log paths the program opens at all: a plain local path, relative or with a drive. Device
// namespaces, UNC paths and device names could reach a pipe, whose server then acts as the run's
// account, or a device. Free of Windows headers.
#ifndef ORVFLASH_APP_COMPUTER_FILES_LOG_PATH_H
#define ORVFLASH_APP_COMPUTER_FILES_LOG_PATH_H

#include <string>

// Why `path` is refused, for the log; empty when it may be opened.
std::string LogPathProblem(const std::wstring& path);

#endif
