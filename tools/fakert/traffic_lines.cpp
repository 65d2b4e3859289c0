#include "fakert/traffic_lines.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fakert {

namespace {

constexpr int kMaxDecimals = 9;
// Digits of a stamp kept below 19, so that units plus any offset stay inside 64 bits.
constexpr std::size_t kMaxDigits = 18;

constexpr std::array<std::int64_t, kMaxDecimals + 1> kPowersOfTen{
    1, 10, 100, 1'000, 10'000, 100'000, 1'000'000, 10'000'000, 100'000'000, 1'000'000'000};

bool lf_isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Begin and length of field `index` of a comma-separated line; absent when the line has fewer fields.
std::optional<std::pair<std::size_t, std::size_t>> lf_fieldSpan(std::string_view line, std::size_t index)
{
    std::size_t begin = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t comma = line.find(',', begin);
        if (comma == std::string_view::npos)
            return std::nullopt;
        begin = comma + 1;
    }
    std::size_t end = line.find(',', begin);
    if (end == std::string_view::npos)
        end = line.size();
    return std::pair{begin, end - begin};
}

// Hex ids are 24-bit addresses; the program drops those of 10000 and below.
constexpr std::uint32_t kHexIdSpace = 1U << 24;
constexpr std::uint32_t kLowestHexId = 10001;
// Odd and near 0.618 of the space, so that the generations spread their ids far apart.
constexpr std::uint32_t kHexIdStride = 0x9E3779;
constexpr std::size_t kMaxCallsign = 8;

std::string lf_freshHexId(std::string_view field, std::uint32_t generation)
{
    if (field.empty() || field.size() > 9 || !std::all_of(field.begin(), field.end(), lf_isDigit))
        return std::string(field);
    std::uint64_t id = 0;
    for (const char c : field)
        id = id * 10 + static_cast<std::uint64_t>(c - '0');
    auto fresh = static_cast<std::uint32_t>((id + std::uint64_t{generation} * kHexIdStride) % kHexIdSpace);
    if (fresh < kLowestHexId)
        fresh += kLowestHexId;
    return fmt::format("{}", fresh);
}

std::string lf_generationLetters(std::uint32_t generation)
{
    std::string letters;
    for (; generation > 0; generation = (generation - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (generation - 1) % 26));
    return letters;
}

std::string lf_freshCallsign(std::string_view field, std::uint32_t generation)
{
    if (field.empty() || field == "null")
        return std::string(field);
    const std::string mark = lf_generationLetters(generation);
    const std::size_t kept = std::min(field.size(), kMaxCallsign > mark.size() ? kMaxCallsign - mark.size() : 0);
    return std::string(field.substr(0, kept)) + mark;
}

std::optional<TimeStamp> lf_parseTimeStamp(std::string_view text)
{
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    if (whole.empty() || (point != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    if (fraction.size() > kMaxDecimals || whole.size() + fraction.size() > kMaxDigits)
        return std::nullopt;
    TimeStamp stamp;
    stamp.decimals = static_cast<int>(fraction.size());
    for (const std::string_view part : {whole, fraction}) {
        for (const char c : part) {
            if (!lf_isDigit(c))
                return std::nullopt;
            stamp.units = stamp.units * 10 + (c - '0');
        }
    }
    return stamp;
}

std::string lf_formatTimeStamp(TimeStamp stamp)
{
    if (stamp.decimals == 0)
        return fmt::format("{}", stamp.units);
    const std::int64_t scale = kPowersOfTen[static_cast<std::size_t>(stamp.decimals)];
    return fmt::format("{}.{:0{}}", stamp.units / scale, stamp.units % scale, stamp.decimals);
}

// The offset in units of 10^-decimals seconds, rounded half away from zero.
std::int64_t lf_offsetUnits(std::int64_t offsetMs, int decimals)
{
    if (decimals >= 3)
        return offsetMs * kPowersOfTen[static_cast<std::size_t>(decimals - 3)];
    const std::int64_t divisor = kPowersOfTen[static_cast<std::size_t>(3 - decimals)];
    const std::int64_t half = divisor / 2;
    return offsetMs >= 0 ? (offsetMs + half) / divisor : -((-offsetMs + half) / divisor);
}

} // namespace

double TimeStamp::seconds() const
{
    return static_cast<double>(units) / static_cast<double>(kPowersOfTen[static_cast<std::size_t>(decimals)]);
}

std::vector<std::string> gf_trafficLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '{')
            lines.emplace_back(line);
    }
    return lines;
}

std::vector<std::string> gf_readTrafficFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(fmt::format("cannot read {}", path.string()));
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw std::runtime_error(fmt::format("cannot read {}", path.string()));
    return gf_trafficLines(text);
}

std::optional<TimeStamp> gf_lineTimeStamp(std::string_view line)
{
    const auto span = lf_fieldSpan(line, kTimeStampField);
    if (!span)
        return std::nullopt;
    return lf_parseTimeStamp(line.substr(span->first, span->second));
}

std::string gf_shiftTimeStamp(std::string_view line, std::int64_t offsetMs)
{
    const auto span = lf_fieldSpan(line, kTimeStampField);
    const auto stamp = span ? lf_parseTimeStamp(line.substr(span->first, span->second)) : std::nullopt;
    if (!stamp)
        return std::string(line);
    TimeStamp shifted = *stamp;
    shifted.units += lf_offsetUnits(offsetMs, stamp->decimals);
    if (shifted.units < 0)
        return std::string(line); // before 1970: no time stamp a receiver could use
    std::string result;
    result.reserve(line.size() + 4);
    result.append(line.substr(0, span->first));
    result.append(lf_formatTimeStamp(shifted));
    result.append(line.substr(span->first + span->second));
    return result;
}

std::string gf_freshIdentity(std::string_view line, std::uint32_t generation)
{
    const auto hexId = lf_fieldSpan(line, kHexIdField);
    const auto callsign = lf_fieldSpan(line, kCallsignField);
    if (generation == 0 || !hexId || !callsign)
        return std::string(line);
    std::string result(line.substr(0, hexId->first));
    result += lf_freshHexId(line.substr(hexId->first, hexId->second), generation);
    result += line.substr(hexId->first + hexId->second, callsign->first - hexId->first - hexId->second);
    result += lf_freshCallsign(line.substr(callsign->first, callsign->second), generation);
    result += line.substr(callsign->first + callsign->second);
    return result;
}

std::string gf_qnhDatagram(std::string_view qnh)
{
    return fmt::format(R"({{"ICAO": "ZZZZ","QNH": "{}", "METAR": "", "NAME": "fakert"}})", qnh);
}

} // namespace fakert
