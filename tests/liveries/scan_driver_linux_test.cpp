// The livery scan driver on a folder it may not open: Linux capabilities drop root's right to
// pass over file permissions.

#include "app/main_window.h"
#include "core/exceptions.h"
#include "liveries/scanned_liveries_file.h"
#include "scan_driver_fixture.h"

#include <gmock/gmock.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// Drops the calling thread's right to pass over file permissions, which root has.
void lf_dropFilePermissionOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ASSERT_EQ(syscall(SYS_capget, &header, data), 0);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[cap / 32].effective &= ~(1U << (cap % 32));
    ASSERT_EQ(syscall(SYS_capset, &header, data), 0);
}

TEST_F(ScanDriverTest, AWalkEndedByAFolderItCannotOpenReturnsOnlyAfterItsTasks)
{
    for (const char* name : {"lib/ac1", "lib/ac2", "lib/ac3"})
        liveries(name, "A320", {std::string("BAW ") + name});
    // The locked folder lies in the folder that the walk enters last, so the other files'
    // tasks have started when the walk fails.
    std::filesystem::path last;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator("lib"))
        last = entry.path();
    const std::filesystem::path locked = last / "locked";
    std::filesystem::create_directories(locked / "inner");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    g_scanTasksLimit = 8;
    std::unique_lock titlesHeld(scannedTitlesMutex); // the tasks cannot end before the walk has failed
    std::thread walk([] {
        lf_dropFilePermissionOverride();
        lf_scanSimObjectsFolder(1, "lib");
    });
    while (logText().find("iterator problem") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    titlesHeld.unlock();
    walk.join();
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
    EXPECT_GE(scannedTitles.size(), 2U) << "the tasks of the files before the locked folder have run";
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

} // namespace
