#include "recording_annotations.h"

#include <initguid.h>
#include <oleacc.h>

namespace {

DEFINE_GUID(kLiveSettingProperty, 0xc12bcd8e, 0x2a8e, 0x4950, 0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d,
            0x58, 0xeb);

std::string PropertyName(const MSAAPROPID& property) {
    return property == PROPID_ACC_NAME        ? "name"
           : property == kLiveSettingProperty ? "live"
                                              : "other";
}

}  // namespace

// The service and its class factory in one object that lives as long as the registration.
class RecordingAnnotations::Service : public IAccPropServices, public IClassFactory {
public:
    explicit Service(RecordingAnnotations& record) : record(record) {}

    HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IAccPropServices) {
            *out = static_cast<IAccPropServices*>(this);
        } else if (iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG WINAPI AddRef() override { return 2; }
    ULONG WINAPI Release() override { return 1; }

    HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return outer != nullptr ? CLASS_E_NOAGGREGATION : QueryInterface(iid, out);
    }
    HRESULT WINAPI LockServer(BOOL) override { return S_OK; }

    HRESULT WINAPI SetHwndProp(HWND hwnd, DWORD object, DWORD child, MSAAPROPID property,
                               VARIANT value) override {
        record.Record(hwnd, object, child, PropertyName(property),
                      value.vt == VT_I4 ? std::to_string(value.lVal) : "?");
        return S_OK;
    }
    HRESULT WINAPI SetHwndPropStr(HWND hwnd, DWORD object, DWORD child, MSAAPROPID property,
                                  LPCWSTR text) override {
        std::string narrow;
        for (; *text != L'\0'; ++text) {
            narrow += *text < 0x80 ? char(*text) : '?';
        }
        record.Record(hwnd, object, child, PropertyName(property), narrow);
        return S_OK;
    }

    // Nothing else is expected of it.
    HRESULT WINAPI SetPropValue(const BYTE*, DWORD, MSAAPROPID, VARIANT) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetPropServer(const BYTE*, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                 AnnoScope) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ClearProps(const BYTE*, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetHwndPropServer(HWND, DWORD, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                     AnnoScope) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ClearHwndProps(HWND, DWORD, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ComposeHwndIdentityString(HWND, DWORD, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI DecomposeHwndIdentityString(const BYTE*, DWORD, HWND*, DWORD*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI SetHmenuProp(HMENU, DWORD, MSAAPROPID, VARIANT) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropStr(HMENU, DWORD, MSAAPROPID, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT WINAPI SetHmenuPropServer(HMENU, DWORD, const MSAAPROPID*, int, IAccPropServer*,
                                      AnnoScope) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ClearHmenuProps(HMENU, DWORD, const MSAAPROPID*, int) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI ComposeHmenuIdentityString(HMENU, DWORD, BYTE**, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT WINAPI DecomposeHmenuIdentityString(const BYTE*, DWORD, HMENU*, DWORD*) override {
        return E_NOTIMPL;
    }

private:
    RecordingAnnotations& record;
};

RecordingAnnotations::RecordingAnnotations() : service(std::make_unique<Service>(*this)) {
    comInitialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CoRegisterClassObject(CLSID_AccPropServices, static_cast<IClassFactory*>(service.get()),
                          CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
}

RecordingAnnotations::~RecordingAnnotations() {
    CoRevokeClassObject(cookie);
    if (comInitialized) {
        CoUninitialize();
    }
}

void RecordingAnnotations::Record(HWND control, DWORD object, DWORD child,
                                  const std::string& property, const std::string& value) {
    std::lock_guard<std::mutex> lock(mutex);
    values[{control, object, child, property}] = value;
}

std::string RecordingAnnotations::Value(HWND control, const char* property) const {
    std::lock_guard<std::mutex> lock(mutex);
    auto found = values.find({control, DWORD(OBJID_CLIENT), DWORD(CHILDID_SELF), property});
    return found != values.end() ? found->second : "";
}
