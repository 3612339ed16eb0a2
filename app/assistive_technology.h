// What screen readers learn of the window beyond what its controls say themselves: names for the
// controls that have no label, and each line that the log gains, since the log is where every
// result of a run is reported.
#ifndef ORVFLASH_APP_ASSISTIVE_TECHNOLOGY_H
#define ORVFLASH_APP_ASSISTIVE_TECHNOLOGY_H

#include <windows.h>

struct IAccPropServices;

// Annotations of controls through the system's annotation service; where there is none (some
// Wine versions), the controls keep what they have.
class ControlAnnotations {
public:
    ControlAnnotations();
    ControlAnnotations(const ControlAnnotations&) = delete;
    ControlAnnotations& operator=(const ControlAnnotations&) = delete;
    ~ControlAnnotations();

    // The name that a screen reader reads for `control`.
    void SetName(HWND control, const char* name);
    // Screen readers read what changes in `control` once they are idle, without interrupting.
    void MakePoliteLiveRegion(HWND control);

private:
    IAccPropServices* service = nullptr;
    bool comInitialized = false;
};

// Tells screen readers that `line` was added to the live region `control`: the live region's
// change event, and a notification with the line's text where the system has one (Windows 10
// 1709 and later). Any thread.
void AnnounceLine(HWND control, const char* line);

#endif
