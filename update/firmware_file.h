// The image file as the update run reads it. The Windows form opens the file read-only, an existing
// file only, shared with nobody, so that nothing can change it between the checks and the writes.
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
