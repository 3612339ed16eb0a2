// Static message maps. Each entry pairs a message (and for WM_COMMAND a control id and
// notification code) with a plain function that calls the handler with the right arguments, so
// no member-function pointer is ever cast.
#ifndef ORV_AFX_MSGMAP_H
#define ORV_AFX_MSGMAP_H

#include <windows.h>

#include <type_traits>

class CWnd;

// Unpacks WPARAM/LPARAM and calls one handler on the window the map belongs to.
typedef LRESULT (*AFX_PMSG)(CWnd* wnd, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;  // WM_COMMAND only: the notification code (BN_CLICKED is 0)
    UINT nID;    // WM_COMMAND only: the control id
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // null for the root
    const AFX_MSGMAP_ENTRY* lpEntries;     // ends with an entry whose pfn is null
};

// First entry for the message, searching the class's own map and then its bases'.
inline const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code,
                                                   UINT id) {
    for (; map != nullptr; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn != nullptr; ++e) {
            if (e->nMessage != message) {
                continue;
            }
            if (message == WM_COMMAND && (e->nCode != code || e->nID != id)) {
                continue;
            }
            return e;
        }
    }
    return nullptr;
}

namespace afx {

// Anything else (a const or noexcept member, a free function) fails the handler check below.
template <class M>
struct MemberOf {
    using Class = void;
    using Function = void;
};
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...)> {
    using Class = C;
    using Function = R(A...);
};

// True when H is a member function of T (or of a base of T) with exactly the signature F.
template <class T, auto H, class F>
constexpr bool kIsHandler = std::is_base_of_v<typename MemberOf<decltype(H)>::Class, T>&&
    std::is_same_v<typename MemberOf<decltype(H)>::Function, F>;

// The static_cast downcasts are safe: an entry is only found in the map of the window's own
// class or of one of its bases.

template <class T, auto H>
LRESULT CallVoid(CWnd* wnd, WPARAM, LPARAM) {
    static_assert(kIsHandler<T, H, void()>, "handler must be: void f()");
    (static_cast<T*>(wnd)->*H)();
    return 0;
}

template <class T, auto H>
LRESULT CallBool(CWnd* wnd, WPARAM, LPARAM) {
    static_assert(kIsHandler<T, H, BOOL()>, "handler must be: BOOL f()");
    return (static_cast<T*>(wnd)->*H)();
}

template <class T, auto H>
LRESULT CallSysCommand(CWnd* wnd, WPARAM wParam, LPARAM lParam) {
    static_assert(kIsHandler<T, H, void(UINT, LPARAM)>,
                  "handler must be: void OnSysCommand(UINT nID, LPARAM lParam)");
    (static_cast<T*>(wnd)->*H)(static_cast<UINT>(wParam), lParam);
    return 0;
}

template <class T, auto H>
LRESULT CallQueryDragIcon(CWnd* wnd, WPARAM, LPARAM) {
    static_assert(kIsHandler<T, H, HCURSOR()>, "handler must be: HCURSOR OnQueryDragIcon()");
    return reinterpret_cast<LRESULT>((static_cast<T*>(wnd)->*H)());
}

template <class T, auto H>
LRESULT CallMessage(CWnd* wnd, WPARAM wParam, LPARAM lParam) {
    static_assert(kIsHandler<T, H, LRESULT(WPARAM, LPARAM)>,
                  "handler must be: LRESULT f(WPARAM wParam, LPARAM lParam)");
    return (static_cast<T*>(wnd)->*H)(wParam, lParam);
}

}  // namespace afx

// In the class declaration. Leaves the access at protected.
#define DECLARE_MESSAGE_MAP()                     \
protected:                                        \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

// In one .cpp file: BEGIN_MESSAGE_MAP(CMyDlg, CDialog) ON_...() END_MESSAGE_MAP()
// clang-format off
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        using ThisClass [[maybe_unused]] = theClass;                                  \
        typedef baseClass TheBaseClass;                                               \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                          \
            {0, 0, 0, nullptr}                                                     \
        };                                                                         \
        static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                               \
    }
// clang-format on

// Handlers take the classic names and signatures.
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, &afx::CallSysCommand<ThisClass, &ThisClass::OnSysCommand>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &afx::CallVoid<ThisClass, &ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, &afx::CallQueryDragIcon<ThisClass, &ThisClass::OnQueryDragIcon>},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, &afx::CallVoid<ThisClass, &ThisClass::OnClose>},
#define ON_WM_QUERYENDSESSION() \
    {WM_QUERYENDSESSION, 0, 0, &afx::CallBool<ThisClass, &ThisClass::OnQueryEndSession>},

// WM_COMMAND from control `id` with notification `code`: void f().
#define ON_CONTROL(code, id, memberFxn)                          \
    {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), \
     &afx::CallVoid<ThisClass, memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)

// Any message except WM_COMMAND (use ON_CONTROL): LRESULT f(WPARAM, LPARAM).
#define ON_MESSAGE(message, memberFxn) \
    {static_cast<UINT>(message), 0, 0, &afx::CallMessage<ThisClass, memberFxn>},

#endif
