// A FirmwareFile on the C library's files, with faults that tests can inject.
#ifndef ORVFLASH_UPDATE_TESTS_STD_FIRMWARE_FILE_H
#define ORVFLASH_UPDATE_TESTS_STD_FIRMWARE_FILE_H

#include <cstdio>

#include "firmware_file.h"

class StdFirmwareFile : public FirmwareFile {
public:
    // Which call of each kind fails (1 = the first); 0 = none.
    int failSeekToEnd = 0;
    int failSeekToBegin = 0;
    int failRead = 0;
    // Most bytes one Read delivers in all; the rest of the file seems missing. -1 = no limit.
    long readLimit = -1;

    ~StdFirmwareFile() override {
        if (file != nullptr) {
            std::fclose(file);
        }
    }

    bool Open(const char* name) override {
        file = std::fopen(name, "rb");
        return file != nullptr;
    }
    bool SeekToEnd() override {
        return ++seekToEndCalls != failSeekToEnd && std::fseek(file, 0, SEEK_END) == 0;
    }
    bool SeekToBegin() override {
        return ++seekToBeginCalls != failSeekToBegin && std::fseek(file, 0, SEEK_SET) == 0;
    }
    bool GetPosition(uint64_t* position) override {
        long at = std::ftell(file);
        *position = static_cast<uint64_t>(at);
        return at >= 0;
    }
    bool Read(void* buffer, uint32_t count, uint32_t* bytesRead) override {
        if (++readCalls == failRead) {
            return false;
        }
        if (readLimit >= 0) {
            long left = readLimit - delivered;
            count = static_cast<uint32_t>(left < long(count) ? (left < 0 ? 0 : left) : count);
        }
        *bytesRead = static_cast<uint32_t>(std::fread(buffer, 1, count, file));
        delivered += long(*bytesRead);
        return true;
    }

private:
    std::FILE* file = nullptr;
    int seekToEndCalls = 0;
    int seekToBeginCalls = 0;
    int readCalls = 0;
    long delivered = 0;
};

#endif
