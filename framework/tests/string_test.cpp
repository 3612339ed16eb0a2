#include "afx_string.h"

#include <gtest/gtest.h>

#include <string>

#include "test_resources.h"

TEST(CString, ConstructsAssignsAndAppends) {
    CString empty;
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_STREQ("", empty);
    EXPECT_TRUE(CString(nullptr).IsEmpty());

    CString s("Kavix");
    EXPECT_EQ(5, s.GetLength());
    s += " firmware";
    s += CString(" 1.0");
    EXPECT_STREQ("Kavix firmware 1.0", s);
    s += s;
    EXPECT_EQ(36, s.GetLength());

    s = "reset";
    EXPECT_STREQ("reset", s);
    s = nullptr;
    EXPECT_TRUE(s.IsEmpty());

    // By content, not through operator LPCSTR's pointers.
    char buffer[] = "abc";
    s = "abc";
    EXPECT_TRUE(s == buffer);
    EXPECT_TRUE(s == CString("abc"));
    EXPECT_TRUE(s != "abd");
    EXPECT_TRUE("abc" == s);
}

TEST(CString, FormatsLikePrintf) {
    CString s;
    s.Format("%d-%s-%02X-%5.1f", -7, "dev", 0xA, 2.0);
    EXPECT_STREQ("-7-dev-0A-  2.0", s);
    s.Format("%lld %llu %zu", -9000000000LL, 18446744073709551615ULL, static_cast<size_t>(42));
    EXPECT_STREQ("-9000000000 18446744073709551615 42", s);
    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CString, FormatsLongResultsAndMayReadItself) {
    std::string expected(5000, 'x');
    CString s;
    s.Format("[%s]", expected.c_str());
    EXPECT_EQ("[" + expected + "]", std::string(s));

    s = "abc";
    s.Format("%s+%s", static_cast<LPCSTR>(s), static_cast<LPCSTR>(s));
    EXPECT_STREQ("abc+abc", s);
}

TEST(CString, LoadsStringResources) {
    CString s;
    EXPECT_TRUE(s.LoadString(IDS_TEST_SHORT));
    EXPECT_STREQ("Kavix", s);

    // Longer than LoadStringA's first buffer.
    EXPECT_TRUE(s.LoadString(IDS_TEST_LONG));
    EXPECT_EQ(600, s.GetLength());
    EXPECT_EQ(595u, std::string(s).rfind("0119,"));
    EXPECT_EQ(std::string(s).substr(0, 10), "0000,0001,");

    EXPECT_FALSE(s.LoadString(IDS_TEST_MISSING));
    EXPECT_TRUE(s.IsEmpty());
}
