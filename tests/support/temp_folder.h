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

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

std::filesystem::path sourceDir();     // the project's root
std::filesystem::path sharedDataDir(); // ../shared/data beside the project

} // namespace testsupport
