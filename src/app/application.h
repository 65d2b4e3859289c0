#pragma once
// The program's window on this system: creation, the message loop with the GUI queue, the two
// application messages and the close box. The toolkit (FLTK on Linux, Win32 on Windows) stays
// inside window_fltk.cpp and window_win32.cpp; this header is all that the entry and the tests
// see.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The entry's part after the log is open: window, per-user data folder, the start-up message
// and the message loop. Returns the loop's exit code, or 0 when no window could be made
// ("initInstance failed" in the log).
int gf_runApplication();

// Connects to the window system and shows the window at the saved position; false when it
// cannot be made.
bool gf_createMainWindow(const std::string& title);

// Builds the window and its controls without showing them, on the calling thread, which becomes
// the GUI thread: the control port, the GUI queue (woken through `wake`), the message line and
// the application messages all point to it afterwards. No display is needed.
void gf_buildMainWindow(const std::string& title, int x, int y, std::function<void()> wake);
// Takes the window down again; every window call becomes a no-op.
void gf_destroyMainWindow();

// The final exit has ended the message loop.
bool gf_quitPosted();

// What one control looks like on the window (for tests and diagnostics).
struct ControlView {
    std::string kind; // "check box", "button", "edit box"
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    std::string label;
    bool active = false;
    bool checked = false; // the box's mark as drawn
    std::string text;     // an edit box's text as shown
};
std::optional<ControlView> gf_viewControl(std::uint16_t controlId);

// The user actions that tests drive on the built window: tests/support/test_seams.h.
