#include "core/scramble.h"

#include "core/log.h"

#include <fmt/format.h>
#include <optional>

namespace {

constexpr int kAlphabetSize = static_cast<int>(kScrambleAlphabet.size());

int lf_shiftAt(CodeKind kind, std::size_t position)
{
    const std::size_t offset = static_cast<std::size_t>(kind);
    return (kScrambleKey[(position + offset) % kScrambleKey.size()] + static_cast<int>(position)) % kAlphabetSize;
}

int lf_checkValue(char c)
{
    const std::size_t index = kScrambleAlphabet.find(c);
    return index != std::string_view::npos ? static_cast<int>(index) : static_cast<unsigned char>(c);
}

char lf_checkCharacter(CodeKind kind, std::string_view plain)
{
    int sum = 11 * static_cast<int>(kind) + static_cast<int>(plain.size() % kAlphabetSize);
    for (const char c : plain)
        sum = (sum + lf_checkValue(c)) % kAlphabetSize;
    return kScrambleAlphabet[static_cast<std::size_t>(sum % kAlphabetSize)];
}

// The plain code of a marked code; nothing when it fails its check.
std::optional<std::string> lf_unscramble(std::string_view stored, CodeKind kind)
{
    if (stored.size() < 3)
        return std::nullopt;
    const std::string_view body = stored.substr(1, stored.size() - 2);
    std::string plain(body.size(), '\0');
    for (std::size_t i = 0; i < body.size(); ++i)
        plain[i] = gf_shiftCode(body[i], -lf_shiftAt(kind, i));
    if (lf_checkCharacter(kind, plain) != stored.back())
        return std::nullopt;
    return plain;
}

std::string lf_unscrambleLogged(std::string_view stored, CodeKind kind, std::string_view what)
{
    if (stored.empty())
        return {};
    if (stored.front() != kScrambleMark)
        return std::string(stored);
    if (std::optional<std::string> plain = lf_unscramble(stored, kind))
        return *plain;
    gf_logWarning(fmt::format("decrypt {} \"{}\" error", what, stored));
    return {};
}

} // namespace

char gf_shiftCode(char c, int shift)
{
    const std::size_t index = kScrambleAlphabet.find(c);
    if (index == std::string_view::npos)
        return c;
    const int moved = ((static_cast<int>(index) + shift) % kAlphabetSize + kAlphabetSize) % kAlphabetSize;
    return kScrambleAlphabet[static_cast<std::size_t>(moved)];
}

std::string gf_unscrambleAirline(std::string_view stored)
{
    if (!stored.empty() && stored.front() != kScrambleMark)
        gf_logWarning(fmt::format("Unencrypted airline {} in decrypt airl?", stored));
    return lf_unscrambleLogged(stored, CodeKind::Airline, "airl");
}

std::string gf_unscrambleType(std::string_view stored)
{
    return lf_unscrambleLogged(stored, CodeKind::Type, "type");
}

std::string gf_unscrambleRegcode(std::string_view stored)
{
    return lf_unscrambleLogged(stored, CodeKind::Regcode, "reg");
}
