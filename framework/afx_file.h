// CFile: a file handle opened for reading. Failures are reported by return values (the Win32
// error stays in GetLastError), never by exceptions.
#ifndef ORV_AFX_FILE_H
#define ORV_AFX_FILE_H

#include <windows.h>

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,        // read only; the file must exist
        shareExclusive = 0x0010,  // no other opener, which is also what 0 means
        typeBinary = 0x8000,      // accepted for familiarity: a CFile is always binary
    };
    enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Closes any file already open first. `error` is accepted and ignored. Flags other than the
    // ones above fail with ERROR_INVALID_PARAMETER rather than being half-honoured.
    BOOL Open(LPCSTR fileName, UINT openFlags, void* error = nullptr) {
        (void)error;
        Close();
        if ((openFlags & ~static_cast<UINT>(shareExclusive | typeBinary)) != 0) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        HANDLE h = ::CreateFileA(fileName, GENERIC_READ, 0 /* no sharing */, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return FALSE;
        }
        m_hFile = h;
        return TRUE;
    }

    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

    void Close() {
        if (IsOpen()) {
            ::CloseHandle(m_hFile);
            m_hFile = INVALID_HANDLE_VALUE;
        }
    }

    // `from` is a SeekPosition. Seeking before the start fails and leaves the position alone.
    bool Seek(LONGLONG offset, UINT from, ULONGLONG* newPosition = nullptr) {
        DWORD method;
        switch (from) {
            case begin:
                method = FILE_BEGIN;
                break;
            case current:
                method = FILE_CURRENT;
                break;
            case end:
                method = FILE_END;
                break;
            default:
                ::SetLastError(ERROR_INVALID_PARAMETER);
                return false;
        }
        LARGE_INTEGER distance;
        distance.QuadPart = offset;
        LARGE_INTEGER position;
        if (!::SetFilePointerEx(m_hFile, distance, &position, method)) {
            return false;
        }
        if (newPosition) {
            *newPosition = static_cast<ULONGLONG>(position.QuadPart);
        }
        return true;
    }

    bool GetPosition(ULONGLONG* position) const {
        LARGE_INTEGER zero;
        zero.QuadPart = 0;
        LARGE_INTEGER now;
        if (!::SetFilePointerEx(m_hFile, zero, &now, FILE_CURRENT)) {
            return false;
        }
        *position = static_cast<ULONGLONG>(now.QuadPart);
        return true;
    }

    bool GetLength(ULONGLONG* length) const {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(m_hFile, &size)) {
            return false;
        }
        *length = static_cast<ULONGLONG>(size.QuadPart);
        return true;
    }

    // Fewer bytes than asked (0 at the end of the file) is success.
    bool Read(void* buffer, UINT count, UINT* bytesRead) {
        DWORD n = 0;
        BOOL ok = ::ReadFile(m_hFile, buffer, count, &n, nullptr);
        if (bytesRead) {
            *bytesRead = ok ? n : 0;
        }
        return ok != FALSE;
    }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

#endif
