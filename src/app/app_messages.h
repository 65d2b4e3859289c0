#pragma once
// The two application messages of the main window: start a work thread (program start and
// every restart) and finish the program (the end of a final exit).

#include <cstdint>

enum class AppMessage : std::uint32_t { StartUp = 0x8001, FinalExit = 0x8002 };

// Queued to the GUI thread from any thread; dropped when no window exists.
void gf_postAppMessage(AppMessage message);

// The window's handler of the messages, set when the window is made (null: none).
using AppMessageHandler = void (*)(AppMessage);
void gf_setAppMessageHandler(AppMessageHandler handler);
