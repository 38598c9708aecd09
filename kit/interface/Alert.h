// BAlert: a message box with up to three buttons. Go shows it application-modal and blocks the
// calling thread until a button is pressed, then deletes the alert and returns the button's
// index. Go may be called from any thread but the GUI thread (there it returns -1 at once); the
// wait is a stop point: a thread stopped meanwhile closes the box as it unwinds. Messages for the
// caller's looper wait while it blocks, and each of its runners keeps one message waiting with
// them (kit::Port). Once the application quits (CloseAll), every alert closes and Go returns -1,
// at once for alerts shown later. CloseAll is safe from any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kit/interface/InterfaceDefs.h"
#include "kit/interface/TextView.h"

class BAlert {
public:
    BAlert(const char* title, const char* text, const char* button0, const char* button1 = nullptr,
           const char* button2 = nullptr, button_width width = B_WIDTH_AS_USUAL,
           alert_type type = B_INFO_ALERT);
    ~BAlert();
    BAlert(const BAlert&) = delete;
    BAlert& operator=(const BAlert&) = delete;

    int32 Go();
    // Closes every alert for good: the application is quitting.
    static void CloseAll();
    // The text, whose font runs the box shows.
    BTextView* TextView() const { return fTextView.get(); }

private:
    const std::string fTitle;
    std::vector<std::string> fButtons;
    const std::unique_ptr<BTextView> fTextView;
};
