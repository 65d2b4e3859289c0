#include "core/shell_port.h"

#include "core/log.h"

#include <mutex>

namespace {

std::mutex portMutex;
ShellPort shellPort;

// A copy of one body, taken under the lock and called outside it: the bodies take locks of
// their own.
template <typename Body>
Body lf_body(Body ShellPort::*member)
{
    std::lock_guard lock(portMutex);
    return shellPort.*member;
}

} // namespace

void gf_setShellPort(ShellPort port)
{
    std::lock_guard lock(portMutex);
    shellPort = std::move(port);
}

void gf_reportMessage(const std::string& text, bool log)
{
    if (const MessageSink sink = lf_body(&ShellPort::showMessage))
        sink(text, log);
    else if (!text.empty())
        gf_log(text);
}

void gf_reportError(const std::string& text)
{
    if (const auto body = lf_body(&ShellPort::showError))
        body(text);
}

void gf_withdrawMessage()
{
    if (const auto body = lf_body(&ShellPort::clearMessage))
        body();
}

void gf_withdrawError()
{
    if (const auto body = lf_body(&ShellPort::clearError))
        body();
}

void gf_reportCurrentException(std::string_view context)
{
    if (const auto body = lf_body(&ShellPort::reportException))
        body(context);
}

void gf_shellTick()
{
    if (const auto body = lf_body(&ShellPort::tick))
        body();
}

void gf_resetShellDisplay()
{
    if (const auto body = lf_body(&ShellPort::resetDisplay))
        body();
}

void gf_invalidateStatusArea()
{
    if (const auto body = lf_body(&ShellPort::repaint))
        body();
}

void gf_invalidateControlArea()
{
    if (const auto body = lf_body(&ShellPort::repaint))
        body();
}

void gf_invalidateParkingBand()
{
    if (const auto body = lf_body(&ShellPort::repaint))
        body();
}

void gf_setStayOnTop(bool on)
{
    if (const auto body = lf_body(&ShellPort::stayOnTop))
        body(on);
}

void gf_postAppMessage(AppMessage message)
{
    if (const auto body = lf_body(&ShellPort::postAppMessage))
        body(message);
}

void gf_askForExit(ExitReason reason, std::uint32_t countdownSeconds)
{
    if (const auto body = lf_body(&ShellPort::requestExit))
        body(reason, countdownSeconds);
}
