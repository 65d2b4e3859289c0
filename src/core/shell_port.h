#pragma once
// How the layers below the shell tell the user something or ask the shell for something without
// knowing the shell above them: the shell installs its bodies at start-up (the message line, the
// repaint of the main window, the exit machine). Until they are installed, and after they are
// taken away, a message is written to the log only and every other call does nothing.
// Every call is safe from any thread.

#include "core/run_state.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The two application messages of the main window: start a work thread (program start and
// every restart) and finish the program (the end of a final exit).
enum class AppMessage : std::uint32_t { StartUp = 0x8001, FinalExit = 0x8002 };

// Shows `text`; also logs it when `log` is set and the text is not empty.
using MessageSink = std::function<void(const std::string& text, bool log)>;

// The shell's bodies of the calls below; an empty member does nothing.
struct ShellPort {
    MessageSink showMessage;                          // gf_reportMessage
    std::function<void(const std::string&)> showError; // gf_reportError
    std::function<void()> clearMessage;               // gf_withdrawMessage
    std::function<void()> clearError;                 // gf_withdrawError
    std::function<void(std::string_view)> reportException; // gf_reportCurrentException
    std::function<void()> tick;                       // gf_shellTick
    std::function<void()> resetDisplay;               // gf_resetShellDisplay
    std::function<void()> repaint;                    // gf_invalidate...
    std::function<void(bool)> stayOnTop;              // gf_setStayOnTop
    std::function<void(AppMessage)> postAppMessage;   // gf_postAppMessage
    std::function<void(ExitReason, std::uint32_t)> requestExit; // gf_askForExit
};

// Installs the shell's bodies; an empty port takes them away.
void gf_setShellPort(ShellPort port);

// The message line: a message (shown unless an error stands), an error, and their clearing.
// Without a shell the message is logged (when it is not empty); the rest does nothing.
void gf_reportMessage(const std::string& text, bool log);
void gf_reportError(const std::string& text);
void gf_withdrawMessage();
// Empties the error, then the message.
void gf_withdrawError();
// Called inside a catch handler: shows the current exception by its kind (see the shell's rules).
void gf_reportCurrentException(std::string_view context);

// Once per tick of the main loop: the shell's own clocks (the message line).
void gf_shellTick();
// The restart reset of the shell: the window's display fields and the message line's clock.
void gf_resetShellDisplay();

// Make a change of the main window's display fields visible.
void gf_invalidateStatusArea();
void gf_invalidateControlArea();
void gf_invalidateParkingBand();
// Keeps the window above all others, or lets it go.
void gf_setStayOnTop(bool on);
// Queued to the shell's GUI thread; dropped when no window exists.
void gf_postAppMessage(AppMessage message);

// Asks the exit machine for an exit (see run/exit.h, gf_requestExit).
void gf_askForExit(ExitReason reason, std::uint32_t countdownSeconds);
