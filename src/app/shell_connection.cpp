#include "app/shell_connection.h"

#include "app/app_messages.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "core/shell_port.h"
#include "run/exit.h"

void gf_connectShell()
{
    ShellPort port;
    port.showMessage = gf_showMessage;
    port.showError = gf_showError;
    port.clearMessage = gf_clearMessage;
    port.clearError = gf_clearError;
    port.reportException = gf_reportException;
    port.tick = gf_messageLineTick;
    port.resetDisplay = [] {
        gf_resetMainWindowDisplay();
        gf_resetMessageLineClock();
    };
    port.repaint = gf_redrawMainWindow;
    port.stayOnTop = gf_keepWindowOnTop;
    port.postAppMessage = gf_queueAppMessage;
    port.requestExit = gf_requestExit;
    gf_setShellPort(std::move(port));
}
