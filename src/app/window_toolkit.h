#pragma once
// The toolkit's side of the main window: what window_fltk.cpp (Linux) and window_win32.cpp
// (Windows) each provide to application.cpp, which holds everything that does not depend on the
// toolkit (the GUI queue, the hooks, the message loop's frame, the application messages and the
// final exit). Only the GUI thread calls these.

#include "params/control_port.h"

#include <functional>
#include <string>

// Connects to the window system (the X display, or the window class of this program); false
// when no window can be shown here.
bool gf_openWindowSystem();

// The control port on the toolkit's controls; installed while a window exists.
ControlPort& gf_toolkitControlPort();

// Wakes the GUI thread out of gf_waitForWindowEvents; any thread.
std::function<void()> gf_toolkitWake();

// Makes the top-level window with the client area of the painted layout at (x, y) and, inside
// it, every control (gf_layoutControls); hidden until gf_showToolkitWindow. A window made
// before is gone first.
void gf_makeToolkitWindow(const std::string& title, int x, int y);
// Takes the window and its controls down; the control port keeps its state for late callers.
void gf_dropToolkitWindow();
// Shows the window; true when it is on the screen.
bool gf_showToolkitWindow();

void gf_redrawToolkitWindow();
void gf_setToolkitStayOnTop(bool on);
// The window's left and top edges on the screen.
void gf_toolkitWindowPosition(int& left, int& top);

// Waits for the next batch of window events and handles them; returns false when the system
// asks the program to end its loop.
bool gf_waitForWindowEvents();

// Called by the toolkit's close box: the exit that the user asked for.
void gf_closeBoxClicked();
