// A save into a file that another program holds open for a moment, made the Windows way: a
// virus scanner opens a file just written and shares no deletion, so its replacement is refused.

#include "core/files.h"
#include "core/log.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <windows.h>

TEST(Files, ASaveIntoAHeldFileWaitsForItsRelease)
{
    testsupport::TempFolder folder(true);
    gf_openLog();
    testsupport::writeFile(folder / "parameters.xml", "old");
    const HANDLE scanner = ::CreateFileW((folder / "parameters.xml").c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(scanner, INVALID_HANDLE_VALUE);
    auto saved = std::async(std::launch::async, [&] { return gf_writeStringToFile("new", folder / "parameters.xml", false); });
    // The first refused rename is logged: from then on the save waits for the scanner.
    const std::string refused = "parameters.xml is held by another program, its save is tried again";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (testsupport::readTextFile("Log.txt").find(refused) == std::string::npos &&
           saved.wait_for(std::chrono::milliseconds(10)) == std::future_status::timeout &&
           std::chrono::steady_clock::now() < deadline) {
    }
    ::CloseHandle(scanner);
    EXPECT_TRUE(saved.get());
    gf_closeLog();
    EXPECT_EQ(testsupport::readFile(folder / "parameters.xml"), "new");
    EXPECT_NE(testsupport::readTextFile("Log.txt").find(refused), std::string::npos);
}
