// The QNH Reader: publishes the local QNH that the RealTraffic client sends as a JSON object with
// the member "QNH", for the movement of aircraft in the air and for the main window.

#include "core/log.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

using nlohmann::json;

namespace {

constexpr std::int64_t kHighestHpa = 1080; // above: inches of mercury times 100
constexpr std::int64_t kLowestHpa = 930;
constexpr double kHpaPerHundredthInch = 0.33865307;
// Far beyond any pressure, small enough to round and scale without overflow.
constexpr double kBeyondAnyQnh = 1e12;

const json& lf_member(const json& document, const char* key)
{
    static const json none;
    // A document that is no object makes the library throw, as a syntax error does.
    if (!document.is_object())
        return document.at(key);
    const auto found = document.find(key);
    return found == document.end() ? none : *found;
}

// The datagram as a log line may quote it: line ends, other control bytes and bytes beyond ASCII
// written as \xHH (\r, \n, \t as such), so that no datagram makes lines of its own in Log.txt.
std::string lf_escaped(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += "\\r";
        else if (c == '\n')
            text += "\\n";
        else if (c == '\t')
            text += "\\t";
        else if (byte < 0x20 || byte >= 0x7F)
            text += fmt::format("\\x{:02X}", byte);
        else
            text += c;
    }
    return text;
}

std::int64_t lf_roundHalfAway(double value)
{
    return std::llround(std::clamp(value, -kBeyondAnyQnh, kBeyondAnyQnh));
}

enum class TextNumber { Ok, Invalid, OutOfRange };

// A text member read as the client means it: leading blanks and a sign allowed, the number's
// fraction rounded like a number member's ("1019.7" is 1020), text behind the number ignored.
// What a whole number conversion could not take (no number, or beyond an int) fails as it would.
TextNumber lf_readTextNumber(std::string_view text, std::int64_t& value)
{
    while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
        text.remove_prefix(1);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    (void)end;
    if (error == std::errc::result_out_of_range)
        return TextNumber::OutOfRange;
    if (error != std::errc() || !std::isfinite(number))
        return TextNumber::Invalid;
    const double rounded = std::round(number);
    if (rounded < std::numeric_limits<int>::min() || rounded > std::numeric_limits<int>::max())
        return TextNumber::OutOfRange;
    value = static_cast<std::int64_t>(rounded);
    return TextNumber::Ok;
}

} // namespace

WeatherReader::WeatherReader() : UdpReader("QNH Reader")
{
}

void WeatherReader::handleDatagram(std::string_view text)
{
    datagram = text;
    onMessage();
}

// The hPa value of the member; 1013 when the member holds no usable number. None when the
// datagram says nothing at all (no member, null, or an empty object or array).
std::optional<std::int64_t> WeatherReader::qnhOf(const json& member)
{
    if (member.is_null() || ((member.is_object() || member.is_array()) && member.empty())) {
        complain(Complaint::NoQnh, fmt::format("no QNH {}", lf_escaped(datagram)));
        return std::nullopt;
    }
    std::int64_t value = kStandardQnh;
    if (member.is_number_unsigned())
        value = lf_roundHalfAway(static_cast<double>(member.get<std::uint64_t>()));
    else if (member.is_number_integer())
        value = lf_roundHalfAway(static_cast<double>(member.get<std::int64_t>()));
    else if (member.is_number_float())
        value = lf_roundHalfAway(member.get<double>());
    else if (member.is_string()) {
        switch (lf_readTextNumber(member.get_ref<const std::string&>(), value)) {
        case TextNumber::Ok: break;
        case TextNumber::Invalid:
            complain(Complaint::BadText, "===> QNH string invalid arg: invalid stoi argument");
            break;
        case TextNumber::OutOfRange:
            complain(Complaint::BadText, "===> QNH string out of range: stoi argument out of range");
            break;
        }
    } else {
        complain(Complaint::NoQnh, fmt::format("no QNH {}", lf_escaped(datagram)));
    }
    return value;
}

// Every datagram can bring one of these lines: a flood of bad datagrams logs each kind once a
// second, with a count.
void WeatherReader::complain(Complaint kind, const std::string& line)
{
    if (const std::optional<std::uint64_t> count = complaintLogs_.at(static_cast<std::size_t>(kind)).occur())
        gf_logLine(gf_withRepeatCount(line, *count));
}

void WeatherReader::onMessage()
{
    try {
        const json document = json::parse(datagram);
        std::optional<std::int64_t> qnh = qnhOf(lf_member(document, "QNH"));
        if (!qnh)
            return;
        if (*qnh > kHighestHpa)
            *qnh = lf_roundHalfAway(static_cast<double>(*qnh) * kHpaPerHundredthInch);
        if (*qnh < kLowestHpa || *qnh > kHighestHpa) {
            complain(Complaint::Strange, fmt::format("? Strange QNH {} found in {}", *qnh, lf_escaped(datagram)));
            return;
        }
        const auto value = static_cast<std::int32_t>(*qnh);
        // 1013 is published every time: it also stands for "no QNH known".
        if (value != lastQnh.load() || value == kStandardQnh) {
            lastQnh.store(value);
            trafficReader.qnhCopy.store(value);
            currentQnh.exchange(value);
            gf_publishQnhDisplay(value);
        }
    } catch (const std::exception& e) {
        complain(Complaint::Unreadable, fmt::format("Exception {}, in {}", e.what(), lf_escaped(datagram)));
    }
}

void WeatherReader::onStop()
{
    gf_log("QNH Reader has stopped");
}
