#pragma once
// The two application messages of the main window: start a work thread (program start and
// every restart) and finish the program (the end of a final exit).

#include "core/shell_port.h"
#include "platform/message_window.h"

// AppMessage and gf_postAppMessage: core/shell_port.h. The body of gf_postAppMessage: sent to
// the GUI thread from any thread; dropped when no window exists. They travel through the
// window's own message queue where the window offers one (gf_setAppMessageWindow), else through
// the GUI queue.
void gf_queueAppMessage(AppMessage message);

// The window's handler of the messages, set when the window is made (null: none).
using AppMessageHandler = void (*)(AppMessage);
void gf_setAppMessageHandler(AppMessageHandler handler);

// A window that takes the messages into its own queue (null: none); its procedure hands each
// one to gf_deliverAppMessage on the GUI thread.
void gf_setAppMessageWindow(platform::MessageWindow* window);
void gf_deliverAppMessage(AppMessage message);
