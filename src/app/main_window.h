#pragma once
// The main window as the rest of the program sees it: the display fields that other threads
// write and the window paints, and the calls that make a change visible. Nothing here needs
// the toolkit; every call is safe from any thread and does nothing while no window exists.
//
// A writer stores the field, then invalidates the area that shows it. Texts are SharedText, so
// a painted text is always a whole old or a whole new value; counters and flags are atomics.
// The message line's texts, the seconds counter and the message stamp are kept by
// app/message_line.h (read them with gf_messageLineState()).

#include "core/shell_port.h"
#include "params/window_fields.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The display fields (class MainWindow, g_mainWindow): params/window_fields.h. The calls that
// make a change visible from below the shell: core/shell_port.h.

// Make a change visible. Any thread. Every invalidation repaints the whole window:
// gf_redrawMainWindow is the body of the shell port's invalidations (core/shell_port.h).
void gf_invalidateMessageLine();
void gf_redrawMainWindow();

// Keeps the window above all others, or lets it go (gf_setStayOnTop's body). Any thread.
void gf_keepWindowOnTop(bool on);

// The restart reset of the display: texts empty, the counts, averages, QNH and indicators back
// to their first values, the start-up indicator on; then the whole window is repainted.
void gf_resetMainWindowDisplay();

// The simulator connection and the traffic input keep their status themselves; while the window
// exists it follows both: every change is copied into the display fields and repainted.
void gf_followSubsystemStatus(bool follow);
void gf_copySimLinkStatus();
void gf_copyTrafficStatus();

// The window's side of the calls above, set by the window on the GUI thread (empty: none).
struct WindowHooks {
    std::function<void()> redraw;
    std::function<void(bool)> stayOnTop;
};
void gf_setWindowHooks(WindowHooks hooks);

// The window's saved position. At start: MAIN_WINDOW_X and MAIN_WINDOW_Y from parameters.xml,
// where a value at either limit of its range goes back to the default and is saved (a window
// parked off-screen comes back). Without a readable file both keep their values.
void gf_readWindowPosition();
// At the final exit: the window's left and top edges are stored and saved, limited to the
// range; a value that lands on a limit is replaced by the one stored before.
void gf_storeWindowPosition(int left, int top);
void gf_saveWindowPosition(std::int32_t previousX, std::int32_t previousY);
