#pragma once
// The message line at the bottom of the main window: an ordinary message (lime band) that goes
// away 25 ticks after it was shown, or an error (red band) that stays until one of the known
// paths clears it. Callable from every thread.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Shown unless an error stands; logged when `log` is set and the text is not empty.
void gf_showMessage(const std::string& text, bool log);
void gf_clearMessage();
// Shown as an error, logged as "Error {}".
void gf_showError(const std::string& text);
// Empties the error, then the message: for the restart reset, the parking recalculation and the
// install-path box only.
void gf_clearError();

// Called inside a catch handler: shows the current exception by its kind; a standard exception
// other than a user error also ends the program (SYSTEM ERROR).
void gf_reportException(std::string_view context);

// Once per tick: counts the seconds and clears a message 25 ticks after it was shown.
void gf_messageLineTick();
// The restart reset: the seconds counter and the message stamp go back to 0.
void gf_resetMessageLineClock();

struct MessageLineState {
    std::string text; // the error when one stands, else the message
    bool isError = false;
    std::uint32_t secondsCounter = 0;
    std::uint32_t messageStamp = 0;
};
MessageLineState gf_messageLineState();

// Whoever shows the line (the main window) is told after every change. Until one is set, a
// message that its caller did not log is written to the log.
void gf_setMessageLineSink(std::function<void()> invalidate);
