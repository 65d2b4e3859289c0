#pragma once
// The two application messages of the main window: start a work thread (program start and
// every restart) and finish the program (the end of a final exit).

#include "core/shell_port.h"

// AppMessage and gf_postAppMessage: core/shell_port.h. The body of gf_postAppMessage: sent to
// the GUI thread from any thread through the GUI queue, like every other call from another
// thread; dropped when no window exists.
void gf_queueAppMessage(AppMessage message);

// The window's handler of the messages, set when the window is made (null: none).
using AppMessageHandler = void (*)(AppMessage);
void gf_setAppMessageHandler(AppMessageHandler handler);
