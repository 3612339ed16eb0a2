// The image file on Windows: opened with open flags 0, that is read-only, an existing file only,
// and shared with nobody, so no other program can change or even open it while it is open.
#ifndef ORVFLASH_APP_IMAGE_FILE_H
#define ORVFLASH_APP_IMAGE_FILE_H

#include "afx_file.h"
#include "firmware_file.h"

class CImageFile : public FirmwareFile {
public:
    bool Open(const char* name) override { return file.Open(name, 0) != FALSE; }
    bool SeekToEnd() override { return file.Seek(0, CFile::end); }
    bool SeekToBegin() override { return file.Seek(0, CFile::begin); }
    bool GetPosition(uint64_t* position) override {
        ULONGLONG at = 0;
        bool ok = file.GetPosition(&at);
        *position = at;
        return ok;
    }
    bool Read(void* buffer, uint32_t count, uint32_t* bytesRead) override {
        UINT got = 0;
        bool ok = file.Read(buffer, count, &got);
        *bytesRead = got;
        return ok;
    }

private:
    CFile file;
};

#endif
