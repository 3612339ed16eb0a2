#include "afx_string.h"

#include <gtest/gtest.h>

#include <string>

#include "test_resources.h"

TEST(CString, AssignsAndAppends) {
    CString s;
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ("", s);

    s = "Kavix";
    s += " firmware";
    EXPECT_STREQ("Kavix firmware", s);
    s += nullptr;
    EXPECT_STREQ("Kavix firmware", s);

    s = "reset";
    EXPECT_STREQ("reset", s);
    s = nullptr;
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, LoadsStringResources) {
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_TEST_SHORT));
    EXPECT_STREQ("Kavix", s);

    // Longer than LoadStringA's first buffer.
    EXPECT_TRUE(s.LoadString(IDS_TEST_LONG));
    EXPECT_EQ(600u, std::string(s).size());
    EXPECT_EQ(595u, std::string(s).rfind("0119,"));
    EXPECT_EQ(std::string(s).substr(0, 10), "0000,0001,");

    EXPECT_FALSE(s.LoadString(IDS_TEST_MISSING));
    EXPECT_TRUE(s.IsEmpty());
}
