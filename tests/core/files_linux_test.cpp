// Saves clear the temporary files of processes that have ended: fork gives such a process.

#include "core/files.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fmt/format.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempFolder;
using testsupport::writeFile;

TEST(Files, SavesRemoveTheTemporariesOfEndedProcesses)
{
    TempFolder folder;
    // The temporary files of saves killed before their rename go at the next save into their
    // folder; those of a running process and other names stay.
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const fs::path saves = folder / "saves";
    const std::string stale[] = {fmt::format("d.xml.tmp{}.7", ended), fmt::format("e.xml.tmp{}.0", ended)};
    const std::string kept[] = {fmt::format("d.xml.tmp{}.8", ::getpid()), fmt::format("d.xml.tmp{}.x", ended),
                                fmt::format(".tmp{}.1", ended)};
    for (const std::string& name : kept)
        writeFile(saves / name, "");
    for (const std::string& name : stale)
        writeFile(saves / name, "");
    EXPECT_TRUE(gf_writeStringToFile("<d/>", saves / "d.xml", false));
    for (const std::string& name : stale)
        EXPECT_FALSE(fs::exists(saves / name)) << name;
    for (const std::string& name : kept)
        EXPECT_TRUE(fs::exists(saves / name)) << name;
}
