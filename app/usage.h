// The usage of the command line, told where whoever typed it can read it.
#ifndef ORVFLASH_APP_USAGE_H
#define ORVFLASH_APP_USAGE_H

#include <string>

// Writes `text` to the program's standard output or else to the console it was started from, if
// there is one.
void WriteToConsole(const std::string& text);

// Writes the usage, after `problem` if not null, as WriteToConsole does unless the run's log goes
// to standard output already (`logged`); and shows it in a box when `box`.
void TellUsage(const char* problem, bool box, bool logged = false);

#endif
