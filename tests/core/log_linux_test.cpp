// A log that cannot be opened, made the Linux way: a link into a folder that does not exist.
// (tests/core/log_windows_test.cpp makes it the Windows way.)

#include "core/exceptions.h"
#include "core/log.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(Log, UnwritableLogFileThrowsSysError40)
{
    testsupport::TempFolder folder(true);
    // Nothing to back up, and the open fails.
    fs::create_symlink("missing/folder/Log.txt", "Log.txt");
    try {
        gf_openLog();
        FAIL() << "no exception";
    } catch (const qmx::SysErrorException& e) {
        EXPECT_STREQ(e.what(), "sys error 40: Failed to write file Log.txt");
    }
    EXPECT_FALSE(gf_logIsOpen());
    gf_log("dropped"); // writing to the closed log raises nothing
}
