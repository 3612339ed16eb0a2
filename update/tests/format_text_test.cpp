#include "format_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Format(const char* format, ...) {
    FormatBuffer buffer;
    std::memset(buffer, 'x', sizeof buffer);
    va_list args;
    va_start(args, format);
    FormatText(buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace

TEST(FormatText, ReplacesConversionsKeepsPlainTextAndCutsAt1023Characters) {
    EXPECT_EQ(Format("serial number %d", -1), "serial number -1");
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format("Updating... Do not unplug the Kavix"), "Updating... Do not unplug the Kavix");
    EXPECT_EQ(Format("%s%d", std::string(5000, 'a').c_str(), 42), std::string(1023, 'a'));
}
