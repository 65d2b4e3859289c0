#pragma once
// A working folder and per-user data folder of the test's own, every setting at its default,
// the run flags and the main window's fields at their start values, and the log open in the
// working folder. Tests that need the window build it on the test thread, which then is the
// GUI thread.

#include "app/main_window.h"
#include "core/log.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameters.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>
#include <string>

namespace apptest {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string logText() const;
    // The value stored for `key` in parameters.xml; empty when the file or the key is missing.
    std::string storedValue(const std::string& key) const;
    bool parametersFileExists() const;
    std::string messageText() const;
    bool messageIsError() const;
    // Waits until a requested exit has run; the reason it logged ("Exiting: {}"), empty for none.
    std::string exitLogged() const;

    testsupport::TempFolder folder{true};
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", (folder.path() / "config").string()};
};

// The same, with the controls kept in memory.
class MemoryPortTest : public AppTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Makes every control of the window's layout in the memory port.
    void layOut();

    MemoryControlPort port;
};

// The same, with the real window built (not shown) on the test thread.
class WindowTest : public AppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::atomic<int> wakes{0};
};

void resetRunState();

// The log read as a text file: the Windows build ends its lines with CR LF.
std::string logFileText(const std::filesystem::path& file);

} // namespace apptest

namespace apptest {

// Polls `condition` until it holds or a generous deadline passes; true when it held.
template <typename Condition>
bool waitFor(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace apptest
