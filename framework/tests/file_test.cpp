#include "afx_file.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "bytes.h"
#include "scratch_folder.h"

namespace {

// A file holding the bytes 0, 1, ... 255, 0, 1 ... of the given size.
class CFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Bytes bytes(kSize);
        std::iota(bytes.begin(), bytes.end(), 0);
        ASSERT_TRUE(WriteBytes(path_, bytes));
    }

    static constexpr int kSize = 1000;
    ScratchFolder folder_{"orv-cfile"};
    std::string path_ = folder_.File("bytes.bin");
};

TEST_F(CFileTest, SecondOpenerFailsWhileOpen) {
    CFile first;
    ASSERT_TRUE(first.Open(path_.c_str(), CFile::modeRead));
    CFile second;
    EXPECT_FALSE(second.Open(path_.c_str(), CFile::modeRead));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
    // Not even a reader that would share everything.
    HANDLE other = ::CreateFileA(path_.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, other);

    first.Close();
    {
        CFile scoped;
        EXPECT_TRUE(scoped.Open(path_.c_str(), CFile::modeRead));
    }
    EXPECT_TRUE(second.Open(path_.c_str(), CFile::modeRead));  // the destructor closed it
}

TEST_F(CFileTest, ReadsSeeksAndReportsPosition) {
    CFile f;
    ASSERT_TRUE(f.Open(path_.c_str(), CFile::modeRead));

    unsigned char buffer[16] = {};
    UINT n = 0;
    ASSERT_TRUE(f.Read(buffer, 10, &n));
    EXPECT_EQ(10u, n);
    EXPECT_EQ(9, buffer[9]);
    ULONGLONG position = 0;
    ASSERT_TRUE(f.GetPosition(&position));
    EXPECT_EQ(10u, position);

    ASSERT_TRUE(f.Seek(256, CFile::begin));
    ASSERT_TRUE(f.Read(buffer, 1, &n));
    EXPECT_EQ(0, buffer[0]);  // byte 256

    // The length, then a short read at the end and an empty one; both succeed.
    ASSERT_TRUE(f.Seek(0, CFile::end));
    ASSERT_TRUE(f.GetPosition(&position));
    EXPECT_EQ(static_cast<ULONGLONG>(kSize), position);
    ASSERT_TRUE(f.Seek(-4, CFile::end));
    ASSERT_TRUE(f.GetPosition(&position));
    EXPECT_EQ(996u, position);
    ASSERT_TRUE(f.Read(buffer, 16, &n));
    EXPECT_EQ(4u, n);
    EXPECT_EQ(999 & 0xFF, buffer[3]);
    ASSERT_TRUE(f.Read(buffer, 16, &n));
    EXPECT_EQ(0u, n);

    // Before the start: refused, position kept.
    EXPECT_FALSE(f.Seek(-1, CFile::begin));
    ASSERT_TRUE(f.GetPosition(&position));
    EXPECT_EQ(static_cast<ULONGLONG>(kSize), position);
    EXPECT_FALSE(f.Seek(0, 7));
}

TEST_F(CFileTest, FailsWhenMissingNotOpenOrAskedForMore) {
    CFile f;
    EXPECT_FALSE(f.Open((path_ + ".absent").c_str(), CFile::modeRead));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), ::GetLastError());
    unsigned char buffer[4];
    UINT n = 99;
    ULONGLONG position = 0;
    EXPECT_FALSE(f.Read(buffer, sizeof buffer, &n));
    EXPECT_EQ(0u, n);
    EXPECT_FALSE(f.Seek(0, CFile::begin));
    EXPECT_FALSE(f.GetPosition(&position));

    const UINT modeWrite = 0x0001;
    EXPECT_FALSE(f.Open(path_.c_str(), modeWrite));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ::GetLastError());
    EXPECT_FALSE(f.Read(buffer, sizeof buffer, &n));  // and nothing was opened
}

}  // namespace
