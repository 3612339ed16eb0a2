// The usage of the command line, told where whoever typed it can read it.
#ifndef ORVFLASH_APP_USAGE_H
#define ORVFLASH_APP_USAGE_H

// Writes the usage, after `problem` if not null, to the program's standard output or else to the
// console it was started from, if there is one; and shows it in a box when `box`.
void TellUsage(const char* problem, bool box);

#endif
