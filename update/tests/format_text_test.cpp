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

TEST(FormatText, ReplacesConversionsAndKeepsPlainText) {
    EXPECT_EQ(Format("serial number %d", -1), "serial number -1");
    EXPECT_EQ(Format(""), "");
    EXPECT_EQ(Format("Updating... Do not unplug the Kavix"), "Updating... Do not unplug the Kavix");
}

TEST(FormatText, CutsAnOverlongTextAt1023Characters) {
    const std::string longText(5000, 'a');
    const std::string formatted = Format("%s%d", longText.c_str(), 42);
    EXPECT_EQ(formatted, std::string(1023, 'a'));
}
