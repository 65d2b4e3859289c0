#include "support/scratch_registry.h"

#include "support/temp_folder.h"

#include <map>

namespace testsupport {
namespace {

// A text as the registry files write it between quotes.
std::string lf_escaped(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

struct ScratchRegistry::Keys {
    using Values = std::map<std::string, std::string>;
    explicit Keys(const std::filesystem::path& prefix) : prefix(prefix), wine("WINEPREFIX", prefix.string()) {}

    // Writes system.reg (HKLM) and user.reg (HKCU) as Wine does.
    void save() const
    {
        for (const platform::RegRoot root : {platform::RegRoot::LocalMachine, platform::RegRoot::CurrentUser}) {
            std::string text = "WINE REGISTRY Version 2\n\n";
            for (const auto& [key, values] : roots.at(root)) {
                text += "[" + lf_escaped(key) + "] 1700000000\n";
                for (const auto& [name, value] : values)
                    text += "\"" + lf_escaped(name) + "\"=\"" + lf_escaped(value) + "\"\n";
                text += "\n";
            }
            writeFile(prefix / (root == platform::RegRoot::LocalMachine ? "system.reg" : "user.reg"), text);
        }
    }

    std::filesystem::path prefix;
    ScopedEnv wine;
    std::map<platform::RegRoot, std::map<std::string, Values>> roots{{platform::RegRoot::LocalMachine, {}},
                                                                     {platform::RegRoot::CurrentUser, {}}};
};

ScratchRegistry::ScratchRegistry(const std::filesystem::path& folder) : keys_(std::make_unique<Keys>(folder))
{
    keys_->save();
}

ScratchRegistry::~ScratchRegistry() = default;

void ScratchRegistry::setString(platform::RegRoot root, const std::string& key, const std::string& name,
                                const std::string& value)
{
    keys_->roots[root][key][name] = value;
    keys_->save();
}

void ScratchRegistry::clear()
{
    for (auto& [root, keys] : keys_->roots)
        keys.clear();
    keys_->save();
}

} // namespace testsupport
