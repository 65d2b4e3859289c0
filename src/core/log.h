#pragma once
// The process-wide log, Log.txt in the working folder. Each write is one line exactly as the
// caller formatted it; every line is flushed at once. Writes while the log is closed are dropped.
// The log mutex is the innermost lock of the program: nothing else is locked while it is held.

#include <cstdint>
#include <fmt/format.h>
#include <string>
#include <string_view>
#include <vector>

// Backs up Log.txt (two generations), opens it and writes the header line.
// Throws qmx::SysErrorException 40 when the file cannot be opened.
void gf_openLog();

// Writes the current UTC time as the last line and closes the log, under the log mutex.
void gf_closeLog();

bool gf_logIsOpen() noexcept;

void gf_log(std::string_view text);
void gf_logLine(const std::string& text);
void gf_logWarning(const std::string& text);   // "===> " + text
void gf_logIndented(const std::string& text);  // ten blanks + text

// Formats and writes one line; formats nothing while the log is closed.
template <typename... Args>
void gf_logf(fmt::format_string<Args...> format, Args&&... args)
{
    if (gf_logIsOpen())
        gf_log(fmt::format(format, std::forward<Args>(args)...));
}

// While a hold is open on a thread, the lines that thread logs are kept in it instead of being
// written, so that work done ahead of its turn on another thread can be logged in its turn:
// take() hands the lines over for gf_logHeldLines. Lines not taken are written when the hold
// closes. Lines logged while the log is closed are dropped, as they would be when written.
class LogHold {
public:
    LogHold();
    ~LogHold();
    LogHold(const LogHold&) = delete;
    LogHold& operator=(const LogHold&) = delete;

    std::vector<std::string> take();

private:
    std::vector<std::string> held_;
    std::vector<std::string>* outer_;
};

// Writes lines that a hold kept, each as it was logged.
void gf_logHeldLines(const std::vector<std::string>& lines);

// A banner of '*' around a text, used to frame log sections; writes nothing itself.
std::string gf_starLine(std::int64_t width, std::int64_t pad, bool newlineBefore, bool newlineAfter,
                        std::string_view text);
