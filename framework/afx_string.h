// CString: a narrow string value type over std::string.
#ifndef ORV_AFX_STRING_H
#define ORV_AFX_STRING_H

#include <windows.h>

#include <string>

#include "afx_winapp.h"

class CString {
public:
    CString& operator=(const char* text) {
        m_str.assign(text ? text : "");
        return *this;
    }
    CString& operator+=(const char* text) {
        m_str.append(text ? text : "");
        return *this;
    }

    bool IsEmpty() const { return m_str.empty(); }
    operator LPCSTR() const { return m_str.c_str(); }

    // The string resource `id` of the program's module; FALSE (and empty) if there is none or it
    // is empty.
    BOOL LoadString(UINT id);

private:
    std::string m_str;
};

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

#endif
