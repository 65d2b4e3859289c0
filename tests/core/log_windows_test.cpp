// A log that cannot be opened, made the Windows way: another program holds Log.txt open for
// reading and shares no writing, as a log viewer may. (tests/core/log_linux_test.cpp makes it
// the Linux way.)

#include "core/exceptions.h"
#include "core/log.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

TEST(Log, UnwritableLogFileThrowsSysError40)
{
    testsupport::TempFolder folder(true);
    testsupport::writeFile("Log.txt", "the last run\r\n");
    const HANDLE viewer = ::CreateFileW(L"Log.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    try {
        gf_openLog();
        FAIL() << "no exception";
    } catch (const qmx::SysErrorException& e) {
        EXPECT_STREQ(e.what(), "sys error 40: Failed to write file Log.txt");
    }
    ::CloseHandle(viewer);
    EXPECT_FALSE(gf_logIsOpen());
    gf_log("dropped"); // writing to the closed log raises nothing
    // The backup could still read the last run.
    EXPECT_EQ(testsupport::readFile("Log0.txt"), "the last run\r\n");
    EXPECT_EQ(testsupport::readFile("Log.txt"), "the last run\r\n");
}
