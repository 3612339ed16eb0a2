// The image file as the update run reads it: opened by name, read whole before the device is
// touched. How it is shared is the form's own: the Windows one (app/image_file.h) shares it with
// nobody while the window lives; the tests' form leaves that to the C++ library.
#ifndef ORVFLASH_UPDATE_FIRMWARE_FILE_H
#define ORVFLASH_UPDATE_FIRMWARE_FILE_H

#include <cstdint>

class FirmwareFile {
public:
    virtual ~FirmwareFile() = default;

    // Each returns false on failure.
    virtual bool Open(const char* name) = 0;
    virtual bool SeekToEnd() = 0;
    virtual bool SeekToBegin() = 0;
    virtual bool GetPosition(uint64_t* position) = 0;
    // Reads up to `count` bytes; `bytesRead` is 0 at the end of the file.
    virtual bool Read(void* buffer, uint32_t count, uint32_t* bytesRead) = 0;
};

#endif
