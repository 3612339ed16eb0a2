// CFile: a file handle opened for reading. Failures are reported by return values (the Win32
// error stays in GetLastError), never by exceptions.
#ifndef ORV_AFX_FILE_H
#define ORV_AFX_FILE_H

#include <windows.h>

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,  // read only, an existing file, shared with nobody
    };
    enum SeekPosition : UINT { begin = FILE_BEGIN, end = FILE_END };

    CFile() = default;
    ~CFile() { Close(); }
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Closes any file already open first. Any other flags fail with ERROR_INVALID_PARAMETER
    // rather than being half-honoured.
    BOOL Open(LPCSTR fileName, UINT openFlags) {
        Close();
        if (openFlags != modeRead) {
            ::SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        m_hFile = ::CreateFileA(fileName, GENERIC_READ, 0 /* no sharing */, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_hFile != INVALID_HANDLE_VALUE;
    }

    void Close() {
        if (m_hFile != INVALID_HANDLE_VALUE) {
            ::CloseHandle(m_hFile);
            m_hFile = INVALID_HANDLE_VALUE;
        }
    }

    // `from` is a SeekPosition. Seeking before the start fails and leaves the position alone.
    bool Seek(LONGLONG offset, UINT from) {
        LARGE_INTEGER distance;
        distance.QuadPart = offset;
        return ::SetFilePointerEx(m_hFile, distance, nullptr, from) != FALSE;
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

    // Fewer bytes than asked (0 at the end of the file) is success.
    bool Read(void* buffer, UINT count, UINT* bytesRead) {
        DWORD n = 0;
        BOOL ok = ::ReadFile(m_hFile, buffer, count, &n, nullptr);
        *bytesRead = ok ? n : 0;
        return ok != FALSE;
    }

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

#endif
