#include "platform/registry.h"

#include "platform/paths.h"
#include "platform/utf16.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform {
namespace {

int lf_hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void lf_appendUtf8(std::u16string& out, const std::string& bytes)
{
    std::uint32_t error = 0;
    std::u16string converted(bytes.size(), u'\0');
    const std::size_t length = utf8ToUtf16(bytes, converted.data(), converted.size(), error);
    if (length == 0 && !bytes.empty()) {
        for (unsigned char c : bytes) // not UTF-8: take the bytes as Latin-1
            out += static_cast<char16_t>(c);
        return;
    }
    out.append(converted, 0, length);
}

// Reads an escaped text of the registry file from text[pos] up to `terminator`;
// pos ends on the terminator. Escapes: \\ \" \n \r \t \0 \xHHHH.
std::u16string lf_unescape(const std::string& text, std::size_t& pos, char terminator)
{
    std::u16string result;
    std::string plain;
    while (pos < text.size() && text[pos] != terminator) {
        if (text[pos] != '\\' || pos + 1 >= text.size()) {
            plain += text[pos++];
            continue;
        }
        lf_appendUtf8(result, plain);
        plain.clear();
        const char escaped = text[pos + 1];
        pos += 2;
        switch (escaped) {
        case 'n': result += u'\n'; break;
        case 'r': result += u'\r'; break;
        case 't': result += u'\t'; break;
        case '0': result += u'\0'; break;
        case 'x': {
            unsigned value = 0;
            int digits = 0;
            while (digits < 4 && pos < text.size() && lf_hexDigit(text[pos]) >= 0) {
                value = value * 16 + static_cast<unsigned>(lf_hexDigit(text[pos++]));
                ++digits;
            }
            result += static_cast<char16_t>(value);
            break;
        }
        default: result += static_cast<char16_t>(static_cast<unsigned char>(escaped)); break;
        }
    }
    lf_appendUtf8(result, plain);
    return result;
}

RegValue lf_parseValue(const std::string& data)
{
    RegValue value;
    std::size_t pos = 0;
    if (data.rfind("\"", 0) == 0) {
        pos = 1;
        value.type = RegValue::Type::String;
        value.text = lf_unescape(data, pos, '"');
    } else if (data.rfind("str(2):\"", 0) == 0) {
        pos = 8;
        value.type = RegValue::Type::ExpandString;
        value.text = lf_unescape(data, pos, '"');
    } else if (data.rfind("dword:", 0) == 0) {
        value.type = RegValue::Type::Dword;
        value.dword = static_cast<std::uint32_t>(std::stoul(data.substr(6), nullptr, 16));
    }
    return value;
}

// The logical lines of a registry file: a line ending in '\' continues on the next.
std::vector<std::string> lf_logicalLines(std::istream& in)
{
    std::vector<std::string> lines;
    std::string line;
    std::string pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            const auto first = line.find_first_not_of(" \t");
            line = pending + (first == std::string::npos ? "" : line.substr(first));
            pending.clear();
        }
        if (!line.empty() && line.back() == '\\' && line.rfind("\"", 0) == 0 && line.find("=hex") != std::string::npos) {
            line.pop_back();
            pending = line;
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

} // namespace

long regOpenKey(RegRoot root, std::u16string_view subKey, std::unique_ptr<RegKey>& key)
{
    const std::filesystem::path file = winePrefix() / (root == RegRoot::LocalMachine ? "system.reg" : "user.reg");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return kErrorFileNotFound;
    const std::u16string wanted = regValueKey(subKey);
    bool inKey = false;
    bool found = false;
    auto result = std::make_unique<RegKey>();
    for (const std::string& line : lf_logicalLines(in)) {
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (inKey)
                break;
            std::size_t pos = 1;
            inKey = regValueKey(lf_unescape(line, pos, ']')) == wanted;
            found = found || inKey;
            continue;
        }
        if (!inKey)
            continue;
        std::u16string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            pos = 1;
            name = lf_unescape(line, pos, '"');
            ++pos;
        } else {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        try {
            result->values[regValueKey(name)] = lf_parseValue(line.substr(pos + 1));
        } catch (const std::exception&) {
            // A value this reader cannot decode is left out; the others stay readable.
        }
    }
    if (!found)
        return kErrorFileNotFound;
    key = std::move(result);
    return kErrorSuccess;
}

} // namespace platform
