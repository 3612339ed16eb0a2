// The flash image file and what reads, writes and erases do to it. The file is checked right after
// each call, with nothing closed: what it holds then is what a killed process leaves.
#include <algorithm>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

#include "device_fixture.h"

namespace {

fs::path LibraryFolder() {
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(GetModuleHandleA("orv_api.dll"), path, MAX_PATH);
    return fs::path(std::wstring(path, length)).parent_path();
#else
    return fs::path(ORV_TEST_LIBRARY_FILE).parent_path();
#endif
}

}  // namespace

using FlashImage = DeviceTest;

TEST_F(FlashImage, MissingImageBecomesAFactoryFreshKavix) {
    Open();
    Bytes flash = Flash();
    ASSERT_EQ(flash.size(), kFlash);
    EXPECT_EQ(std::string(flash.begin(), flash.begin() + 17), "KAVIX FIRMWARE V4");
    EXPECT_EQ(Slice(flash, 0x80000, 4), (Bytes{0xD2, 0x84, 0x38, 0x01}));  // kTestSerial
    EXPECT_EQ(Slice(flash, 0x8000A, 2), (Bytes{4, 0}));
    // No 0xFF below 1 MiB, so every byte an update leaves erased shows.
    EXPECT_EQ(std::count(flash.begin(), flash.begin() + kMiB, 0xFF), 0);
    EXPECT_EQ(Slice(flash, kMiB, kMiB), Bytes(kMiB, 0xFF));
    // Contents rather than a fill, in the firmware and in the data block's unrestored tail.
    for (std::size_t offset : {0x0, 0xE1400}) {
        Bytes part = Slice(flash, offset, 0x1EC00);
        EXPECT_GT(std::set<unsigned char>(part.begin(), part.end()).size(), 200u) << offset;
    }
}

TEST_F(FlashImage, SerialVariableShapesOnlyANewImage) {
    SetVariable("ORV_SIM_SERIAL", "-123456789");
    Open();
    Bytes first = Flash();
    EXPECT_EQ(Slice(first, 0x80000, 4), (Bytes{0xEB, 0x32, 0xA4, 0xF8}));
    SetVariable("ORV_SIM_SERIAL", "77");
    Open();
    EXPECT_EQ(Flash(), first);
    // The same serial makes the same device, byte for byte.
    fs::remove(flashPath);
    SetVariable("ORV_SIM_SERIAL", "-123456789");
    Open();
    EXPECT_EQ(Flash(), first);
}

TEST_F(FlashImage, ImageOfTheWrongSizeIsRefusedAndKept) {
    for (std::size_t size : {std::size_t(0), kFlash - 1, kFlash + 1}) {
        kavix.WriteFlash(Pattern(size, 2));
        EXPECT_EQ(RefusedOpen(), kBadFlashFile) << size;
        EXPECT_EQ(Flash(), Pattern(size, 2));
    }
}

TEST_F(FlashImage, DefaultImageLivesBesideTheLibrary) {
    SetVariable("ORV_SIM_FLASH", "");
    fs::path image = LibraryFolder() / "kavix_flash.bin";
    fs::remove(image);
    Open();
    EXPECT_EQ(ReadBytes(image.string()).size(), kFlash);
    fs::remove(image);
}

#ifdef _WIN32
// A user's folder may be named with characters that the ANSI code page cannot spell: the image is
// found there beside a copy of the library, and by the variable's path.
TEST_F(FlashImage, ImageIsFoundInAFolderNamedOutsideTheAnsiCodePage) {
    const fs::path user = kavix.Folder() / L"Kavix-\u0141ukasz \u00e9\u4e2d";
    fs::create_directories(user);
    fs::copy_file(LibraryFolder() / "orv_api.dll", user / "orv_api.dll");
    HMODULE copy = LoadLibraryW((user / "orv_api.dll").c_str());
    ASSERT_NE(copy, nullptr);
    // Through void (*)(): a function pointer of any type may be cast back from it.
    auto openCopy = reinterpret_cast<decltype(&orvOpenDevice)>(
        reinterpret_cast<void (*)()>(GetProcAddress(copy, "orvOpenDevice")));
    SetVariable("ORV_SIM_FLASH", "");
    int32_t handle = -1;
    EXPECT_EQ(openCopy(&handle), kOk);
    FreeLibrary(copy);
    EXPECT_EQ(fs::file_size(user / "kavix_flash.bin"), kFlash);

    SetEnvironmentVariableW(L"ORV_SIM_FLASH", (user / "flash.bin").c_str());
    Open();
    EXPECT_EQ(fs::file_size(user / "flash.bin"), kFlash);
}
#endif

class FlashAccess : public DeviceTest {
protected:
    FlashAccess() {
        kavix.WriteFlash(image);
        handle = Open();
    }

    Bytes image = Pattern(kFlash, 1);
    Bytes buffer = Bytes(kSector, 0xAB);
    int32_t handle = 0;
};

TEST_F(FlashAccess, ReadsCopyWholeSectorsFromTheirOffset) {
    for (int32_t sector : {0, 1, 15, 16, 31}) {
        ASSERT_EQ(orvReadFlash(handle, sector, buffer.data()), kOk);
        EXPECT_EQ(buffer, Slice(image, sector * kSector, kSector)) << "sector " << sector;
    }
    EXPECT_EQ(Flash(), image);
}

TEST_F(FlashAccess, WriteWithoutEraseAndsIntoTheOldBytes) {
    for (int32_t page : {0, 2047, 2048, 8191}) {
        Bytes data = Pattern(kPage, page + 2);
        ASSERT_EQ(orvWriteFlash(handle, page, data.data()), kOk);
        for (std::size_t i = 0; i < kPage; ++i) {
            image[page * kPage + i] &= data[i];
        }
        EXPECT_EQ(Flash(), image) << "page " << page;
    }
    ASSERT_EQ(orvReadFlash(handle, 31, buffer.data()), kOk);
    EXPECT_EQ(buffer, Slice(image, 31 * kSector, kSector));
}

TEST_F(FlashAccess, ClearErasesExactlyTheFirstMebibyte) {
    ASSERT_EQ(orvClearFlash(handle), kOk);
    Bytes flash = Flash();
    EXPECT_EQ(Slice(flash, 0, kMiB), Bytes(kMiB, 0xFF));
    EXPECT_EQ(Slice(flash, kMiB, kMiB), Slice(image, kMiB, kMiB));
    // An erased page takes the data as it is, and the device keeps it across opens.
    Bytes data = Pattern(kPage, 3);
    ASSERT_EQ(orvWriteFlash(handle, 4095, data.data()), kOk);
    EXPECT_EQ(Slice(Flash(), kMiB - kPage, kPage), data);
    ASSERT_EQ(orvReadFlash(Open(), 15, buffer.data()), kOk);
    EXPECT_EQ(Slice(buffer, kSector - kPage, kPage), data);
}

TEST_F(FlashAccess, OutOfRangeIndexOrNullPointerChangesNothing) {
    for (int32_t index : {-1, 32, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(orvReadFlash(handle, index, buffer.data()), kBadIndex) << index;
    }
    for (int32_t index : {-1, 8192, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(orvWriteFlash(handle, index, buffer.data()), kBadIndex) << index;
    }
    EXPECT_EQ(buffer, Bytes(kSector, 0xAB));
    EXPECT_EQ(orvReadFlash(handle, 0, nullptr), kNullPointer);
    EXPECT_EQ(orvWriteFlash(handle, 0, nullptr), kNullPointer);
    EXPECT_EQ(orvGetDeviceType(handle, nullptr), kNullPointer);
    EXPECT_EQ(Flash(), image);
}
