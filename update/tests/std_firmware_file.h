// A FirmwareFile on the C library's files, with faults that tests can inject.
#ifndef ORVFLASH_UPDATE_TESTS_STD_FIRMWARE_FILE_H
#define ORVFLASH_UPDATE_TESTS_STD_FIRMWARE_FILE_H

#include <algorithm>
#include <cstdio>
#include <string>

#include "firmware_file.h"

class StdFirmwareFile : public FirmwareFile {
public:
    // The call that fails: "SeekToEnd", "SeekToBegin" or "Read"; or "ShortRead": the file seems to
    // end after 600 bytes.
    std::string fault;

    // On `opened`, if given, rather than on the file that the run names.
    explicit StdFirmwareFile(std::FILE* opened = nullptr) : file(opened) {}
    ~StdFirmwareFile() override {
        if (file != nullptr) {
            std::fclose(file);
        }
    }

    bool Open(const char* name) override {
        return file != nullptr || (file = std::fopen(name, "rb")) != nullptr;
    }
    bool SeekToEnd() override { return fault != "SeekToEnd" && std::fseek(file, 0, SEEK_END) == 0; }
    bool SeekToBegin() override {
        return fault != "SeekToBegin" && std::fseek(file, 0, SEEK_SET) == 0;
    }
    bool GetPosition(uint64_t* position) override {
        long at = std::ftell(file);
        *position = static_cast<uint64_t>(at);
        return at >= 0;
    }
    bool Read(void* buffer, uint32_t count, uint32_t* bytesRead) override {
        if (fault == "ShortRead") {
            count = std::min(count, uint32_t(600 - delivered));
        }
        *bytesRead = static_cast<uint32_t>(std::fread(buffer, 1, count, file));
        delivered += *bytesRead;
        return fault != "Read";
    }

private:
    std::FILE* file = nullptr;
    uint32_t delivered = 0;
};

#endif
