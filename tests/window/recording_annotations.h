// The system's annotation service (CLSID_AccPropServices) as the window's thread creates it,
// replaced by one that records what it is told: Wine 8's refuses every annotation (E_NOTIMPL), so
// a screen reader there never gets the names that Windows would give it.
#ifndef ORVFLASH_TESTS_WINDOW_RECORDING_ANNOTATIONS_H
#define ORVFLASH_TESTS_WINDOW_RECORDING_ANNOTATIONS_H

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

class RecordingAnnotations {
public:
    // Registers on this thread for as long as the object lives.
    RecordingAnnotations();
    RecordingAnnotations(const RecordingAnnotations&) = delete;
    RecordingAnnotations& operator=(const RecordingAnnotations&) = delete;
    ~RecordingAnnotations();

    // What the control as a whole (OBJID_CLIENT, CHILDID_SELF) was annotated with: its "name", or
    // its "live" setting as a number (1 polite, 2 assertive); "" for none.
    std::string Value(HWND control, const char* property) const;

    // Called by the service.
    void Record(HWND control, DWORD object, DWORD child, const std::string& property,
                const std::string& value);

private:
    class Service;

    mutable std::mutex mutex;
    std::map<std::tuple<HWND, DWORD, DWORD, std::string>, std::string> values;
    std::unique_ptr<Service> service;
    bool comInitialized = false;
    DWORD cookie = 0;
};

#endif
