#pragma once
// The two messages the rest of the program posts to the main window: WM_APP+1 starts a work
// thread (start-up, run, main loop), WM_APP+2 is the final exit of the window side.

enum class AppMessage { StartUp = 0x8001, FinalExit = 0x8002 };

// Thread-safe; queued to the GUI thread. Dropped when no window exists.
void gf_postAppMessage(AppMessage message);
