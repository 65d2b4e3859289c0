#pragma once
// A fresh folder under the build's temp area, removed again at the end of the test; optionally
// made the working folder for the test's duration.

#include <filesystem>
#include <string>

namespace testsupport {

class TempFolder {
public:
    explicit TempFolder(bool makeWorkingFolder = false);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
    std::filesystem::path previousWorkingFolder_;
};

// Sets an environment variable for the test's duration and restores the old value after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string oldValue_;
    bool hadValue_ = false;
};

// Makes `folder` the per-user data folder (the system's AppData, $XDG_CONFIG_HOME here) for the
// test's duration, and gives the system's back after.
class ScopedAppDataFolder {
public:
    explicit ScopedAppDataFolder(const std::filesystem::path& folder);
    ~ScopedAppDataFolder();
    ScopedAppDataFolder(const ScopedAppDataFolder&) = delete;
    ScopedAppDataFolder& operator=(const ScopedAppDataFolder&) = delete;
};

std::string readFile(const std::filesystem::path& path);
// A text file that the program wrote in text mode (the log, reports), with this system's line end
// read back as '\n'. Throws when a line ends otherwise, so that a mix of line ends fails the test.
std::string readTextFile(const std::filesystem::path& path);
// What a '\n' written through a text-mode stream becomes on this system ("\r\n" on Windows).
const std::string& systemLineEnd();
void writeFile(const std::filesystem::path& path, const std::string& bytes);

std::filesystem::path sourceDir();     // the project's root
std::filesystem::path sharedDataDir(); // ../shared/data beside the project

} // namespace testsupport
