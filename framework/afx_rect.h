// CRect: a RECT with its size, for layout arithmetic.
#ifndef ORV_AFX_RECT_H
#define ORV_AFX_RECT_H

#include <windows.h>

class CRect : public RECT {
public:
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

#endif
