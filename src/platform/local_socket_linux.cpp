#include "platform/local_socket.h"

#include "platform/paths.h"

#include <string>

namespace platform {
namespace {

bool lf_isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool lf_isPipeWord(std::string_view word)
{
    if (word.size() != 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        if ((word[i] | 0x20) != "pipe"[i])
            return false;
    }
    return true;
}

std::string lf_encodeName(std::string_view name)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 'A' && byte <= 'Z') {
            encoded += static_cast<char>(byte - 'A' + 'a');
        } else if ((byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || c == '.' || c == '-' || c == '_') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

} // namespace

std::filesystem::path pipeSocketPath(std::string_view pipeName)
{
    // "\\" server "\" "pipe" "\" name
    if (pipeName.size() < 2 || !lf_isSeparator(pipeName[0]) || !lf_isSeparator(pipeName[1]))
        return {};
    std::string_view rest = pipeName.substr(2);
    const auto serverEnd = rest.find_first_of("\\/");
    if (serverEnd == std::string_view::npos || rest.substr(0, serverEnd) != ".")
        return {};
    rest = rest.substr(serverEnd + 1);
    const auto wordEnd = rest.find_first_of("\\/");
    if (wordEnd == std::string_view::npos || !lf_isPipeWord(rest.substr(0, wordEnd)))
        return {};
    const std::string_view name = rest.substr(wordEnd + 1);
    if (name.empty())
        return {};
    return runtimeFolder() / lf_encodeName(name);
}

} // namespace platform
