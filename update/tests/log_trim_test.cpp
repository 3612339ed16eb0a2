#include "log_trim.h"

#include <gtest/gtest.h>

#include <string>

TEST(LogTrim, KeepsTheNewerHalfFromALineStart) {
    const struct {
        std::string log;
        std::size_t from;
    } rows[] = {
        {"", 0},
        {"a\nb\n", 2},                 // the middle is a line's start: the line before goes
        {"old line\nnew\n", 9},        // the middle within the first line
        {"1\n22\n333\n4444\n", 9},     // from the next line start past the middle
        {"one line without end", 20},  // no line end past the middle: nothing kept
        {"aaaaaaaaaa\nb", 11},         // the last line is kept, though it has no end yet
        {"a\r\nb\r\nc\r\nd\r\n", 6},   // CR LF lines, cut after the LF
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NewerHalfFrom(row.log.data(), row.log.size()), row.from) << row.log;
    }
}
