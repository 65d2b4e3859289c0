#include "app/message_line.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "run/exit.h"

#include <fmt/format.h>
#include <mutex>
#include <new>

namespace {

constexpr std::uint32_t kMessageTicks = 25;

std::mutex messageMutex;
std::string messageText;
std::string errorText;
std::uint32_t messageStamp = 0;
std::uint32_t secondsCounter = 0;
std::function<void()> sink;

// Called after messageMutex was released, so that whoever shows the line may read it back.
void lf_notify(const std::string& unloggedText)
{
    std::function<void()> invalidate;
    {
        std::lock_guard lock(messageMutex);
        invalidate = sink;
    }
    if (invalidate)
        invalidate();
    else if (!unloggedText.empty())
        gf_log(unloggedText);
}

} // namespace

void gf_showMessage(const std::string& text, bool log)
{
    const bool logged = log && !text.empty();
    {
        std::lock_guard lock(messageMutex);
        if (!errorText.empty())
            return;
        messageText = text;
        messageStamp = text.empty() ? 0 : (secondsCounter == 0 ? 1 : secondsCounter);
        if (logged)
            gf_logLine(text);
    }
    lf_notify(logged ? std::string() : text);
}

void gf_clearMessage()
{
    gf_showMessage({}, true);
}

void gf_showError(const std::string& text)
{
    {
        std::lock_guard lock(messageMutex);
        messageText.clear();
        messageStamp = 0;
        errorText = text;
        gf_logLine(fmt::format("Error {}", errorText));
    }
    lf_notify({});
}

void gf_clearError()
{
    {
        std::lock_guard lock(messageMutex);
        errorText.clear();
    }
    gf_clearMessage();
}

void gf_reportException(std::string_view context)
{
    const auto systemError = [context](const std::exception& e) {
        gf_showError(fmt::format("{}: {}", context, e.what()));
        gf_requestExit(ExitReason::SystemError, 0);
    };
    try {
        throw;
    } catch (const qmx::UserErrorException& e) {
        gf_showError(e.what());
    } catch (const fmt::format_error& e) {
        gf_showError(std::string("std::format error: ") + e.what());
    } catch (const std::bad_alloc& e) {
        systemError(e);
    } catch (const std::out_of_range& e) {
        systemError(e);
    } catch (const std::runtime_error& e) {
        systemError(e);
    } catch (const std::exception& e) {
        systemError(e);
    } catch (...) {
        gf_showError("Unknown exception");
    }
}

void gf_messageLineTick()
{
    bool expired = false;
    {
        std::lock_guard lock(messageMutex);
        ++secondsCounter;
        expired = messageStamp != 0 && secondsCounter - messageStamp >= kMessageTicks;
    }
    if (expired)
        gf_clearMessage();
}

void gf_resetMessageLineClock()
{
    std::lock_guard lock(messageMutex);
    secondsCounter = 0;
    messageStamp = 0;
}

MessageLineState gf_messageLineState()
{
    std::lock_guard lock(messageMutex);
    const bool isError = !errorText.empty();
    return {isError ? errorText : messageText, isError, secondsCounter, messageStamp};
}

void gf_setMessageLineSink(std::function<void()> invalidate)
{
    std::lock_guard lock(messageMutex);
    sink = std::move(invalidate);
}
