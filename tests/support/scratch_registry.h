#pragma once
// Registry keys of a test's own, which the program reads through platform/registry.h as it reads
// the system's. Linux: the registry files of a Wine prefix in the test's folder, which is the
// prefix ($WINEPREFIX) for the test's duration. Windows: fresh keys that HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER of this process are mapped to (RegOverridePredefKey), so that tests in
// parallel processes never meet in the one registry of the machine.

#include "platform/registry.h"

#include <filesystem>
#include <memory>
#include <string>

namespace testsupport {

class ScratchRegistry {
public:
    // `folder` holds the Wine prefix on Linux; Windows keeps its keys in the registry.
    explicit ScratchRegistry(const std::filesystem::path& folder);
    ~ScratchRegistry();
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

    // A string value (REG_SZ), its key made when missing; texts in UTF-8.
    void setString(platform::RegRoot root, const std::string& key, const std::string& name, const std::string& value);
    // Every key and value set so far is gone.
    void clear();

private:
    struct Keys;
    std::unique_ptr<Keys> keys_;
};

} // namespace testsupport
