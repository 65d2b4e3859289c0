#include "support/temp_folder.h"

#include "platform/process.h"
#include "support/test_seams.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <random>

namespace fs = std::filesystem;

namespace testsupport {

TempFolder::TempFolder(bool makeWorkingFolder)
{
    static std::atomic<unsigned> counter{0};
    // Windows reuses process ids soon, and a folder that an earlier run could not remove (a
    // read-only file in it) must not be met again: a random part makes each run's names new.
    static const unsigned run = std::random_device{}();
    path_ = fs::temp_directory_path() / ("orvanta-test-" + std::to_string(platform::currentProcessId()) + "-" +
                                         std::to_string(run) + "-" + std::to_string(counter.fetch_add(1)));
    fs::remove_all(path_);
    fs::create_directories(path_);
    if (makeWorkingFolder) {
        previousWorkingFolder_ = fs::current_path();
        fs::current_path(path_);
    }
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    if (!previousWorkingFolder_.empty())
        fs::current_path(previousWorkingFolder_, ec);
    if (std::getenv("ORVANTA_KEEP_TEST_FOLDERS") == nullptr)
        fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        hadValue_ = true;
        oldValue_ = old;
    }
    ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (hadValue_)
        ::setenv(name_.c_str(), oldValue_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ScopedAppDataFolder::ScopedAppDataFolder(const fs::path& folder)
{
    platform::setAppDataFolderForTest(folder);
}

ScopedAppDataFolder::~ScopedAppDataFolder()
{
    platform::setAppDataFolderForTest({});
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const std::string& systemLineEnd()
{
    static const std::string lineEnd = [] {
        TempFolder folder;
        const fs::path probe = folder / "line-end.txt";
        std::ofstream(probe) << '\n';
        return readFile(probe);
    }();
    return lineEnd;
}

std::string readTextFile(const fs::path& path)
{
    const std::string bytes = readFile(path);
    const std::string& lineEnd = systemLineEnd();
    if (lineEnd == "\n")
        return bytes;
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes.compare(at, lineEnd.size(), lineEnd) == 0) {
            text += '\n';
            at += lineEnd.size();
        } else if (bytes[at] == '\n') {
            throw std::runtime_error(path.string() + ": a line ends in a bare LF at byte " + std::to_string(at));
        } else {
            text += bytes[at++];
        }
    }
    return text;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    if (path.has_parent_path())
        fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

fs::path sourceDir()
{
    return ORVANTA_SOURCE_DIR;
}

fs::path sharedDataDir()
{
    return ORVANTA_SHARED_DATA_DIR;
}

} // namespace testsupport
