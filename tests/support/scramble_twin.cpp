#include "support/scramble_twin.h"

namespace testsupport {
namespace {

// Digits, upper-case letters, lower-case letters, '-', '_': 64 characters.
int twinIndex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return 10 + (c - 'A');
    if (c >= 'a' && c <= 'z')
        return 36 + (c - 'a');
    if (c == '-')
        return 62;
    if (c == '_')
        return 63;
    return -1;
}

char twinCharacter(int index)
{
    if (index < 10)
        return static_cast<char>('0' + index);
    if (index < 36)
        return static_cast<char>('A' + index - 10);
    if (index < 62)
        return static_cast<char>('a' + index - 36);
    return index == 62 ? '-' : '_';
}

std::string twinScramble(std::string_view plain, int offset)
{
    static constexpr int key[8] = {13, 41, 7, 29, 53, 17, 3, 37};
    if (plain.empty())
        return {};
    std::string stored = "~";
    int sum = 11 * offset + static_cast<int>(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';')
            throw std::invalid_argument("cannot scramble \"" + std::string(plain) + "\"");
        const int index = twinIndex(c);
        const int shift = key[(i + static_cast<std::size_t>(offset)) % 8] + static_cast<int>(i);
        stored += index < 0 ? c : twinCharacter((index + shift) % 64);
        sum += index < 0 ? static_cast<unsigned char>(c) : index;
    }
    stored += twinCharacter(sum % 64);
    return stored;
}

} // namespace

std::string scrambleAirline(std::string_view plain)
{
    return twinScramble(plain, 0);
}

std::string scrambleType(std::string_view plain)
{
    return twinScramble(plain, 3);
}

std::string scrambleRegcode(std::string_view plain)
{
    return twinScramble(plain, 5);
}

} // namespace testsupport
