#include "sim/flash_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sim/factory_flash.h"
#include "sim/flash_layout.h"
#include "sim/platform.h"
#include "sim/status.h"

namespace orv_sim {

namespace {

bool WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = OpenFile(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Written aside and renamed, so a process killed meanwhile leaves no half-made image.
orvStatus CreateFactoryImage(const std::string& path, int32_t serial) {
    std::string partial = path + ".new";
    if (!WriteWholeFile(partial, FactoryFlash(serial)) || !RenameFile(partial, path)) {
        RemoveFile(partial);
        return kIoError;
    }
    return kOk;
}

}  // namespace

orvStatus FlashStore::Load(const std::string& imagePath, int32_t serial) {
    std::FILE* file = OpenFile(imagePath.c_str(), "rb");
    if (!file && errno == ENOENT) {
        orvStatus created = CreateFactoryImage(imagePath, serial);
        if (created != kOk) {
            return created;
        }
        file = OpenFile(imagePath.c_str(), "rb");
    }
    if (!file) {
        return kIoError;
    }
    std::vector<unsigned char> bytes(kFlashSize);
    // One byte more than the flash tells a longer file from a full one.
    std::size_t length = std::fread(bytes.data(), 1, bytes.size(), file);
    bool longer = length == bytes.size() && std::fgetc(file) != EOF;
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return kIoError;
    }
    if (length != bytes.size() || longer) {
        return kBadFlashFile;
    }
    path = imagePath;
    flash.swap(bytes);
    return kOk;
}

void FlashStore::Read(int32_t offset, int32_t length, unsigned char* destination) const {
    std::memcpy(destination, flash.data() + offset, static_cast<std::size_t>(length));
}

orvStatus FlashStore::Program(int32_t offset, const unsigned char* source, int32_t length) {
    std::vector<unsigned char> programmed(flash.begin() + offset, flash.begin() + offset + length);
    for (int32_t i = 0; i < length; ++i) {
        programmed[i] &= source[i];
    }
    return Store(offset, programmed.data(), length);
}

orvStatus FlashStore::Erase(int32_t offset, int32_t length) {
    std::vector<unsigned char> erased(static_cast<std::size_t>(length), 0xFF);
    return Store(offset, erased.data(), length);
}

orvStatus FlashStore::EraseBits(int32_t offset, const unsigned char* mask, int32_t length) {
    std::vector<unsigned char> erased(flash.begin() + offset, flash.begin() + offset + length);
    for (int32_t i = 0; i < length; ++i) {
        erased[i] |= mask[i];
    }
    return Store(offset, erased.data(), length);
}

orvStatus FlashStore::Store(int32_t offset, const unsigned char* bytes, int32_t length) {
    // Opened per change rather than held: Windows could not delete or replace a held image.
    std::FILE* file = OpenFile(path.c_str(), "r+b");
    if (!file) {
        return kIoError;
    }
    std::size_t count = static_cast<std::size_t>(length);
    bool stored =
        std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, count, file) == count;
    // fclose flushes: the bytes are the operating system's before the call returns.
    if (std::fclose(file) != 0 || !stored) {
        return kIoError;
    }
    std::memcpy(flash.data() + offset, bytes, count);
    return kOk;
}

}  // namespace orv_sim
