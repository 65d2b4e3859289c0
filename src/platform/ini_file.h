#pragma once
// Read-only INI files, read the way the Windows profile functions read them: section and key
// names ignore ASCII case, the first section and the first key of a name win, lines beginning
// with ';' are comments, names and values are trimmed and one pair of enclosing quotes (" or ')
// is taken off a value. A file may be UTF-8 (with or without byte-order mark) or UTF-16 with
// byte-order mark; everything is handed out as UTF-8.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class IniFile {
public:
    // Replaces the content by the file's; false (and an empty content) when it cannot be read or
    // its UTF-16 is not valid.
    bool load(const std::filesystem::path& path);
    // Replaces the content by the sections of `text` (UTF-8).
    void parse(std::string_view text);

    bool hasSection(std::string_view section) const;
    // The value of `key` in `section`; nothing when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Section* findSection(std::string_view name) const;

    std::vector<Section> sections_;
};

} // namespace platform
