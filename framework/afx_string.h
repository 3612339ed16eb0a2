// CString: a narrow string value type over std::string.
#ifndef ORV_AFX_STRING_H
#define ORV_AFX_STRING_H

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "afx_winapp.h"

class CString {
public:
    CString() = default;
    // Implicit, as classic code expects.
    CString(const char* text) : m_str(text ? text : "") {}

    CString& operator=(const char* text) {
        m_str.assign(text ? text : "");
        return *this;
    }
    CString& operator+=(const char* text) {
        m_str.append(text ? text : "");
        return *this;
    }
    CString& operator+=(const CString& other) {
        m_str.append(other.m_str);
        return *this;
    }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator LPCSTR() const { return m_str.c_str(); }

    // The string resource `id` of the program's module; FALSE (and empty) if there is none or it
    // is empty.
    BOOL LoadString(UINT id);

    // printf-style. Arguments are read before the string is replaced, so the string itself may be
    // an argument (cast to LPCSTR: a CString cannot go through "...").
    void Format(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

private:
    std::string m_str;
};

// Without these, `s == "x"` would compare pointers through operator LPCSTR.
inline bool operator==(const CString& a, const char* b) {
    return std::strcmp(a, b ? b : "") == 0;
}
inline bool operator==(const CString& a, const CString& b) {
    return a.GetLength() == b.GetLength() && std::strcmp(a, b) == 0;
}
inline bool operator==(const char* a, const CString& b) {
    return b == a;
}
inline bool operator!=(const CString& a, const char* b) {
    return !(a == b);
}
inline bool operator!=(const char* a, const CString& b) {
    return !(b == a);
}
inline bool operator!=(const CString& a, const CString& b) {
    return !(a == b);
}

inline BOOL CString::LoadString(UINT id) {
    // LoadStringA truncates silently; grow until the text fits with room to spare.
    std::string buffer(256, '\0');
    for (;;) {
        int n =
            ::LoadStringA(AfxGetInstanceHandle(), id, &buffer[0], static_cast<int>(buffer.size()));
        if (n < static_cast<int>(buffer.size()) - 1) {
            m_str.assign(buffer.data(), n > 0 ? n : 0);
            return n > 0;
        }
        buffer.resize(buffer.size() * 2);
    }
}

inline void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string result;
    if (n > 0) {
        result.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&result[0], result.size(), format, again);
        result.resize(static_cast<size_t>(n));
    }
    va_end(again);
    m_str.swap(result);
}

#endif
