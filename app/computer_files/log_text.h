// The log's text is UTF-8 throughout; what comes from outside (the command line) has its line
// breaks and other control characters escaped, so that it can never forge a line of its own. Free
// of Windows headers.
#ifndef ORVFLASH_APP_COMPUTER_FILES_LOG_TEXT_H
#define ORVFLASH_APP_COMPUTER_FILES_LOG_TEXT_H

#include <string>

// `text` with each control character (below 0x20, and 0x7f) written as \r, \n, \t or \xNN.
std::string EscapedControls(const std::string& text);

#endif
