#include "core/log.h"

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/files.h"
#include "core/version.h"

#include <atomic>
#include <ctime>
#include <fstream>
#include <mutex>
#include <utility>

namespace {

constexpr const char* kLogFile = "Log.txt";

std::mutex logMutex;
std::ofstream logStream;
// Mirrors logStream.is_open() so that writers can test it without the lock.
std::atomic<bool> logOpen{false};

// The lines of this thread's open LogHold; null when none is open.
thread_local std::vector<std::string>* heldLines = nullptr;

void lf_writeLine(std::string_view prefix, std::string_view text)
{
    if (!logOpen.load(std::memory_order_acquire))
        return;
    if (heldLines != nullptr) {
        heldLines->push_back(std::string(prefix).append(text));
        return;
    }
    std::lock_guard lock(logMutex);
    if (!logStream.is_open())
        return;
    logStream << prefix << text << std::endl;
}

} // namespace

void gf_openLog()
{
    gf_backupFile(kLogFile);
    std::lock_guard lock(logMutex);
    if (logStream.is_open())
        logStream.close();
    logStream.clear();
    logStream.open(kLogFile, std::ios::out | std::ios::trunc);
    if (!logStream.is_open()) {
        logStream.clear();
        throw qmx::SysErrorException(40, std::string("Failed to write file ") + kLogFile);
    }
    logStream << fmt::format("{} (utc) {} version {} for {}", gf_utcTimeText(std::time(nullptr)),
                             "Orvanta_P3D", gf_versionText(g_programVersion), "Prepar3D v5/v6")
              << std::endl;
    logOpen.store(true, std::memory_order_release);
}

void gf_closeLog()
{
    std::lock_guard lock(logMutex);
    if (!logStream.is_open())
        return;
    logStream << gf_utcTimeText(std::time(nullptr)) << std::endl;
    logOpen.store(false, std::memory_order_release);
    logStream.close();
}

bool gf_logIsOpen() noexcept
{
    return logOpen.load(std::memory_order_acquire);
}

void gf_log(std::string_view text)
{
    lf_writeLine({}, text);
}

void gf_logLine(const std::string& text)
{
    lf_writeLine({}, text);
}

void gf_logWarning(const std::string& text)
{
    lf_writeLine("===> ", text);
}

void gf_logIndented(const std::string& text)
{
    lf_writeLine("          ", text);
}

LogHold::LogHold() : outer_(heldLines)
{
    heldLines = &held_;
}

LogHold::~LogHold()
{
    heldLines = outer_;
    gf_logHeldLines(held_);
}

std::vector<std::string> LogHold::take()
{
    return std::exchange(held_, {});
}

void gf_logHeldLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        lf_writeLine({}, line);
}

std::string gf_starLine(std::int64_t width, std::int64_t pad, bool newlineBefore, bool newlineAfter,
                        std::string_view text)
{
    std::string banner = newlineBefore ? "\n" : "";
    std::int64_t n = width + pad;
    if (n % 2 != 0)
        ++n;
    const auto textLength = static_cast<std::int64_t>(text.size());
    if (text.empty()) {
        if (n > 0)
            banner.append(static_cast<std::size_t>(n), '*');
    } else if (n > textLength + 2) {
        const std::string stars(static_cast<std::size_t>(n / 2 - 1), '*');
        banner += stars;
        banner += ' ';
        banner += text;
        banner += ' ';
        banner += stars;
    } else {
        banner += text;
    }
    if (newlineAfter)
        banner += '\n';
    return banner;
}
