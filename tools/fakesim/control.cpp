#include "control.h"

#include <charconv>
#include <cmath>
#include <map>
#include <tuple>

#include <nlohmann/json.hpp>

namespace fakesim {

namespace {

using Words = std::vector<std::string>;

// The id of the flood's unknown message: one that no SimConnect version defines.
constexpr std::uint32_t kUnknownMessageId = 99;

std::string lf_error(const std::string& why)
{
    return "error: " + why;
}

bool lf_parseUnsigned(std::string_view text, std::uint32_t& value)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

bool lf_parseBool(std::string_view text, bool& value)
{
    if (text == "1" || text == "true" || text == "yes" || text == "on") {
        value = true;
        return true;
    }
    if (text == "0" || text == "false" || text == "no" || text == "off") {
        value = false;
        return true;
    }
    return false;
}

// Splits "key=value"; false for a word without '='.
bool lf_keyValue(const std::string& word, std::string& key, std::string& value)
{
    const auto equals = word.find('=');
    if (equals == std::string::npos || equals == 0)
        return false;
    key = word.substr(0, equals);
    value = word.substr(equals + 1);
    return true;
}

std::string lf_join(const Words& words, std::size_t from)
{
    std::string text;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (i > from)
            text += ' ';
        text += words[i];
    }
    return text;
}

nlohmann::ordered_json lf_objectJson(const SimObject& o)
{
    return {{"object", o.id},
            {"title", o.title},
            {"tail", o.atcId},
            {"lat", o.pose.latitudeDeg},
            {"lon", o.pose.longitudeDeg},
            {"alt", o.pose.altitudeFt},
            {"heading", o.pose.headingDeg},
            {"on_ground", o.pose.onGround},
            {"writes", o.writeCount},
            {"owner", o.ownerConnection},
            {"departure", o.departure},
            {"destination", o.destination}};
}

std::string lf_statusJson(const Status& s)
{
    nlohmann::ordered_json j{{"connections", s.connections},   {"opened", s.opened},
                             {"sim_seconds", s.simSeconds},    {"sim_running", s.simRunning},
                             {"ai_objects", s.aiObjects.size()}, {"created", s.aiCreated},
                             {"removed", s.aiRemoved},         {"exceptions", s.exceptionsSent},
                             {"frames", s.framesSent},         {"data", s.dataSent},
                             {"flood_sent", s.floodSent},      {"flooding", s.flooding},
                             {"requests", s.requestCounts}};
    return j.dump();
}

std::string lf_addAircraft(FakeSim& sim, const Words& words)
{
    SimObject object;
    const UserAircraft user = sim.userAircraft();
    object.pose.latitudeDeg = user.latitudeDeg;
    object.pose.longitudeDeg = user.longitudeDeg;
    object.pose.altitudeFt = user.altitudeFt;
    object.pose.onGround = true;
    object.title = "Traffic";
    double agl = -1.0;
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string key, value;
        if (!lf_keyValue(words[i], key, value))
            return lf_error("expected key=value, got " + words[i]);
        double number = 0.0;
        const bool isNumber = parseNumber(value, number);
        if (key == "title")
            object.title = value;
        else if (key == "atc_id")
            object.atcId = value;
        else if (key == "model")
            object.atcModel = value;
        else if (key == "on_ground") {
            if (!lf_parseBool(value, object.pose.onGround))
                return lf_error("on_ground takes 0 or 1");
        } else if (!isNumber)
            return lf_error("unknown key or not a number: " + words[i]);
        else if (key == "lat")
            object.pose.latitudeDeg = number;
        else if (key == "lon")
            object.pose.longitudeDeg = number;
        else if (key == "alt")
            object.pose.altitudeFt = number;
        else if (key == "agl")
            agl = number;
        else if (key == "heading")
            object.pose.headingDeg = number;
        else if (key == "speed") {
            object.pose.groundSpeedKt = number;
            object.pose.trueAirspeedKt = number;
        } else
            return lf_error("unknown key " + key);
    }
    object.groundElevationFt = user.altitudeFt - user.altAboveGroundFt;
    if (agl >= 0.0)
        object.pose.altitudeFt = object.groundElevationFt + agl;
    return "ok " + std::to_string(sim.addSimObject(std::move(object)));
}

// flood unknown <seconds> | flood objects <seconds> | flood exception <number> <seconds> |
// flood assigned <request id> <seconds>, each optionally followed by "deaf"
std::string lf_flood(FakeSim& sim, Words words)
{
    const bool deaf = words.back() == "deaf";
    if (deaf)
        words.pop_back();
    const std::map<std::string, std::uint32_t, std::less<>> numberedKinds{
        {"exception", wire::recv::kException}, {"assigned", wire::recv::kAssignedObjectId}};
    const std::map<std::string, std::uint32_t, std::less<>> plainKinds{
        {"unknown", kUnknownMessageId}, {"objects", wire::recv::kEventObjectAddRemove}};
    const auto numbered = numberedKinds.find(words[1]);
    const auto plain = plainKinds.find(words[1]);
    const bool isNumbered = numbered != numberedKinds.end();
    std::uint32_t number = 0;
    double seconds = 0.0;
    if ((!isNumbered && plain == plainKinds.end()) || words.size() != (isNumbered ? 4u : 3u) ||
        (isNumbered && !lf_parseUnsigned(words[2], number)) || !parseNumber(words.back(), seconds) || seconds <= 0.0)
        return lf_error("flood unknown <seconds> | flood objects <seconds> | flood exception <number> <seconds> | "
                        "flood assigned <request id> <seconds>, each [deaf]");
    sim.flood(isNumbered ? numbered->second : plain->second, number, seconds, deaf);
    return "ok";
}

std::string lf_openReply(FakeSim& sim, const Words& words)
{
    wire::OpenReplyFields fields = sim.openReply();
    const std::string& command = words[0];
    if (command == "app-name") {
        fields.applicationName = lf_join(words, 1);
    } else {
        std::array<std::uint32_t, 4> parts{};
        if (words.size() != 2 || !parseVersion(words[1], parts))
            return lf_error(command + " <a.b.c.d>");
        auto target = command == "app-version"
                           ? std::tie(fields.applicationVersionMajor, fields.applicationVersionMinor,
                                      fields.applicationBuildMajor, fields.applicationBuildMinor)
                           : std::tie(fields.simConnectVersionMajor, fields.simConnectVersionMinor,
                                      fields.simConnectBuildMajor, fields.simConnectBuildMinor);
        target = std::tuple(parts[0], parts[1], parts[2], parts[3]);
    }
    sim.setOpenReply(fields);
    return "ok";
}

} // namespace

std::vector<std::string> splitControlWords(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n'))) {
            if (line[i] == '"')
                quoted = !quoted;
            else
                word += line[i];
            ++i;
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool parseNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

bool parseVersion(std::string_view text, std::array<std::uint32_t, 4>& parts)
{
    parts = {};
    std::size_t index = 0;
    while (!text.empty()) {
        if (index == parts.size())
            return false;
        const auto dot = text.find('.');
        if (!lf_parseUnsigned(text.substr(0, dot), parts[index++]))
            return false;
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
        if (text.empty())
            return false;
    }
    return index > 0;
}

std::string applyUserSettings(UserAircraft& user, const std::vector<std::string>& settings)
{
    for (const auto& word : settings) {
        std::string key, value;
        if (!lf_keyValue(word, key, value))
            return "expected key=value, got " + word;
        if (key == "title") {
            user.title = value;
            continue;
        }
        if (key == "model") {
            user.atcModel = value;
            continue;
        }
        if (key == "atc_id") {
            user.atcId = value;
            continue;
        }
        if (key == "type") {
            user.atcType = value;
            continue;
        }
        if (key == "on_ground") {
            if (!lf_parseBool(value, user.onGround))
                return "on_ground takes 0 or 1";
            continue;
        }
        if (key == "lights") {
            std::uint32_t mask = 0;
            if (!lf_parseUnsigned(value, mask))
                return "lights takes a number";
            user.lightStates = mask;
            continue;
        }
        double number = 0.0;
        if (!parseNumber(value, number))
            return "not a number: " + word;
        static const std::map<std::string, double UserAircraft::*> kNumbers{
            {"lat", &UserAircraft::latitudeDeg},      {"lon", &UserAircraft::longitudeDeg},
            {"alt", &UserAircraft::altitudeFt},       {"agl", &UserAircraft::altAboveGroundFt},
            {"heading", &UserAircraft::headingDeg},   {"pitch", &UserAircraft::pitchDeg},
            {"bank", &UserAircraft::bankDeg},         {"speed", &UserAircraft::groundSpeedKt},
            {"vs", &UserAircraft::verticalSpeedFpm},  {"turn", &UserAircraft::turnRateDegPerSec},
        };
        auto it = kNumbers.find(key);
        if (it == kNumbers.end())
            return "unknown key " + key;
        user.*(it->second) = number;
    }
    if (user.latitudeDeg < -90.0 || user.latitudeDeg > 90.0 || user.longitudeDeg < -180.0 || user.longitudeDeg > 180.0)
        return "position out of range";
    return {};
}

std::string runControlLine(FakeSim& sim, std::string_view line)
{
    const Words words = splitControlWords(line);
    if (words.empty() || words[0].starts_with('#'))
        return "ok";
    const std::string& command = words[0];
    const std::size_t argc = words.size() - 1;
    std::uint32_t a = 0, b = 0, c = 0;
    double number = 0.0;

    if (command == "at") {
        if (argc < 2 || !parseNumber(words[1], number) || number < 0.0)
            return lf_error("at <seconds> <command>");
        sim.scheduleControl(number, lf_join(words, 2));
        return "ok";
    }
    if ((command == "sim" && argc == 1) || command == "sim-start" || command == "sim-stop") {
        const std::string what = command == "sim" ? words[1] : command.substr(4);
        if (what != "start" && what != "stop")
            return lf_error("sim start | sim stop");
        sim.setSimRunning(what == "start");
        return "ok";
    }
    if (command == "flight-loaded" && argc >= 1) {
        sim.sendFlightLoaded(lf_join(words, 1));
        return "ok";
    }
    if (command == "position-changed") {
        sim.sendPositionChanged();
        return "ok";
    }
    if (command == "refuse-create") {
        if (argc >= 1 && !lf_parseUnsigned(words[1], a))
            return lf_error("refuse-create [count]");
        sim.refuseNextCreation(argc >= 1 ? a : 1);
        return "ok";
    }
    if (command == "refuse-title" && argc >= 1) {
        sim.refuseTitle(lf_join(words, 1));
        return "ok";
    }
    if (command == "fail-next" && (argc == 2 || argc == 3)) {
        const auto requestNumber = wire::requestNumberFromName(words[1]);
        if (!requestNumber || !lf_parseUnsigned(words[2], a) || (argc == 3 && !lf_parseUnsigned(words[3], b)))
            return lf_error("fail-next <request> <exception> [count]");
        sim.failNextRequest(*requestNumber, a, argc == 3 ? b : 1);
        return "ok";
    }
    if (command == "exception" && argc >= 1 && argc <= 3) {
        if (!lf_parseUnsigned(words[1], a) || (argc >= 2 && !lf_parseUnsigned(words[2], b)) ||
            (argc >= 3 && !lf_parseUnsigned(words[3], c)))
            return lf_error("exception <number> [send id [index]]");
        sim.sendException(a, b, c);
        return "ok";
    }
    if (command == "flood" && argc >= 2)
        return lf_flood(sim, words);
    if (command == "frame-rate" && argc == 1) {
        if (!parseNumber(words[1], number) || number < 0.0 || number > 1000.0)
            return lf_error("frame-rate takes 0 to 1000");
        sim.setFrameRate(number);
        return "ok";
    }
    if ((command == "app-name" && argc >= 1) || command == "app-version" || command == "simconnect-version")
        return lf_openReply(sim, words);
    if (command == "user") {
        UserAircraft user = sim.userAircraft();
        const std::string problem = applyUserSettings(user, Words(words.begin() + 1, words.end()));
        if (!problem.empty())
            return lf_error(problem);
        sim.setUserAircraft(user);
        return "ok";
    }
    if (command == "add-aircraft")
        return lf_addAircraft(sim, words);
    if (command == "remove-object" && argc == 1) {
        if (!lf_parseUnsigned(words[1], a))
            return lf_error("remove-object <object id>");
        return sim.removeSimObject(a) ? "ok" : lf_error("no such object");
    }
    if (command == "drop") {
        sim.dropConnections();
        return "ok";
    }
    if (command == "mute") {
        sim.mute();
        return "ok";
    }
    if (command == "quit") {
        sim.quit();
        return "ok";
    }
    if (command == "status")
        return lf_statusJson(sim.status());
    if (command == "objects") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& object : sim.aiObjects())
            list.push_back(lf_objectJson(object));
        return list.dump();
    }
    return lf_error("unknown command: " + std::string(line));
}

} // namespace fakesim
