#include "assistive_technology.h"

#include <initguid.h>
#include <oleacc.h>

#include <string>

#include "system_library.h"

namespace {

// UI Automation's LiveSetting property, which the annotation service also takes; Polite is 1.
DEFINE_GUID(kLiveSettingProperty, 0xc12bcd8e, 0x2a8e, 0x4950, 0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d,
            0x58, 0xeb);
constexpr LONG kPolite = 1;
// EVENT_OBJECT_LIVEREGIONCHANGED, of Windows 8 and later; earlier ones pass it on unread.
constexpr DWORD kLiveRegionChanged = 0x8019;

// UI Automation's NotificationKind_ItemAdded and NotificationProcessing_All: every line is read,
// in order, none dropped for a later one.
constexpr int kItemAdded = 0;
constexpr int kProcessAll = 2;
const wchar_t kActivity[] = L"orvflash.log";

std::wstring Wide(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) {
        wide += wchar_t(static_cast<unsigned char>(*text));  // the program's texts are ASCII
    }
    return wide;
}

// UI Automation's notification, looked up because Windows before 10 (and Wine 8) lack it.
class UiaNotifications {
public:
    UiaNotifications()
        : core(L"uiautomationcore.dll"),
          listening(core.Function<Listening>("UiaClientsAreListening")),
          hostProvider(core.Function<HostProvider>("UiaHostProviderFromHwnd")),
          raise(core.Function<Raise>("UiaRaiseNotificationEvent")) {}

    void Notify(HWND control, const char* line) const {
        if (raise == nullptr || listening == nullptr || hostProvider == nullptr || !listening()) {
            return;
        }
        // The worker announces too: COM for the calls, in whatever apartment the thread has.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IUnknown* provider = nullptr;
        if (SUCCEEDED(hostProvider(control, &provider)) && provider != nullptr) {
            BSTR text = SysAllocString(Wide(line).c_str());
            BSTR activity = SysAllocString(kActivity);
            raise(provider, kItemAdded, kProcessAll, text, activity);
            SysFreeString(activity);
            SysFreeString(text);
            provider->Release();
        }
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    }

private:
    using Listening = BOOL(WINAPI*)();
    // The provider is an IRawElementProviderSimple, passed on as it came.
    using HostProvider = HRESULT(WINAPI*)(HWND, IUnknown**);
    using Raise = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);

    SystemLibrary core;
    Listening listening;
    HostProvider hostProvider;
    Raise raise;
};

}  // namespace

ControlAnnotations::ControlAnnotations() {
    comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IAccPropServices, reinterpret_cast<void**>(&service)))) {
        service = nullptr;
    }
}

ControlAnnotations::~ControlAnnotations() {
    if (service != nullptr) {
        service->Release();
    }
    if (comInitialized) {
        CoUninitialize();
    }
}

void ControlAnnotations::SetName(HWND control, const char* name) {
    if (service != nullptr) {
        service->SetHwndPropStr(control, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                Wide(name).c_str());
    }
}

void ControlAnnotations::MakePoliteLiveRegion(HWND control) {
    if (service != nullptr) {
        VARIANT polite;
        VariantInit(&polite);
        polite.vt = VT_I4;
        polite.lVal = kPolite;
        service->SetHwndProp(control, DWORD(OBJID_CLIENT), CHILDID_SELF, kLiveSettingProperty,
                             polite);
    }
}

void AnnounceLine(HWND control, const char* line) {
    NotifyWinEvent(kLiveRegionChanged, control, OBJID_CLIENT, CHILDID_SELF);
    if (*line != '\0') {
        static const UiaNotifications notifications;
        notifications.Notify(control, line);
    }
}
