#include "platform/ini_file.h"

#include "platform/ascii_case.h"
#include "platform/utf16.h"

#include <fstream>
#include <iterator>

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view lf_trim(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view lf_unquote(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The text of the file's bytes as UTF-8; nothing when UTF-16 bytes are no valid UTF-16.
std::optional<std::string> lf_decode(const std::string& bytes)
{
    const bool utf16 = bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
    if (!utf16)
        return bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
    const std::u16string units = utf16FromBytes(bytes);
    std::uint32_t error = 0;
    std::string out(units.size() * 3, '\0');
    const std::size_t length = utf16ToUtf8(units, out.data(), out.size(), error);
    if (length == 0 && !units.empty())
        return std::nullopt;
    out.resize(length);
    return out;
}

} // namespace

bool IniFile::load(const std::filesystem::path& path)
{
    sections_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::optional<std::string> text = lf_decode(bytes);
    if (in.bad() || !text)
        return false;
    parse(*text);
    return true;
}

void IniFile::parse(std::string_view text)
{
    sections_.clear();
    Section* current = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = lf_trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            const std::string_view name = lf_trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            current = &sections_.emplace_back(Section{std::string(name), {}});
            continue;
        }
        const auto equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos)
            continue;
        current->entries.emplace_back(std::string(lf_trim(line.substr(0, equals))),
                                      std::string(lf_unquote(lf_trim(line.substr(equals + 1)))));
    }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const
{
    for (const Section& section : sections_) {
        if (asciiEqualsIgnoreCase(section.name, name))
            return &section;
    }
    return nullptr;
}

bool IniFile::hasSection(std::string_view section) const
{
    return findSection(section) != nullptr;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const Section* found = findSection(section);
    if (found == nullptr)
        return std::nullopt;
    for (const auto& [name, value] : found->entries) {
        if (asciiEqualsIgnoreCase(name, key))
            return value;
    }
    return std::nullopt;
}

} // namespace platform
