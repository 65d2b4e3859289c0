// The Traffic Reader: one RTTFC line per datagram becomes one traffic message on the traffic
// queue, due 30 seconds (3000 update passes) after its reception, or is dropped by the filters.
// Runs on the Traffic Reader thread. Fields are views into the receive buffer and numbers are
// converted in place, so that a line costs no allocation before its message is built.

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/text.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"
#include "traffic/traffic_status.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fmt/format.h>

namespace {

// Field indexes of an RTTFC line (field 0 is the word "RTTFC").
enum Field : std::size_t {
    kHexIdField = 1,
    kLatField = 2,
    kLonField = 3,
    kAltitudeField = 4,
    kVerticalSpeedField = 5,
    kTrackField = 7,
    kGroundSpeedField = 8,
    kCallsignField = 9,
    kTypeField = 10,
    kRegistrationField = 11,
    kDepartureField = 12,
    kDestinationField = 13,
    kTimeStampField = 14,
    kDataSourceField = 15,
    kPositionSourceField = 17,
    kTrueAirspeedField = 20,
    kRollField = 23,
    kTrueHeadingField = 25,
    kCategoryField = 28,
};
constexpr std::size_t kMinimumFields = kCategoryField + 1;

constexpr std::int32_t kDuePasses = 3000;          // 30 seconds of 10 ms passes
constexpr std::uint32_t kLowestHexId = 10000;      // lower addresses are no aircraft
constexpr std::size_t kMaxRegistration = 12;
constexpr double kGroundRangeNm = 5.0;             // ground traffic only this near the park airport
constexpr double kClimbOutCutOffFt = 3000.0;
constexpr double kNoElevation = -1000.0;           // ground test without a known elevation
// A stamp further ahead of the wall clock would make every genuine line of its aircraft look old
// until the clock caught up. Stamps behind it are history (a replay, a clock that runs behind).
constexpr double kFutureStampSeconds = 300.0;
// The wall clock is read again at least every so many lines, so that a clock set back is seen.
constexpr std::uint32_t kLinesPerWallClockReading = 256;

// The bounds of the numbers no aircraft can report: a line that carries one is refused.
constexpr double kLowestTrack = -360.0;
constexpr double kHighestTrack = 720.0;
constexpr double kHighestSpeed = 2000.0;           // knots, ground speed and true airspeed
constexpr double kLowestAltitude = -2000.0;        // feet
constexpr double kHighestAltitude = 100000.0;
constexpr double kHighestVerticalRate = 30000.0;   // feet per minute, either way

constexpr double kFeetPerHpa = 30.0;               // true against pressure altitude near the ground

// The longest leading number of a field. False for an empty field, one that does not begin with
// a number, and for NaN and infinity, which from_chars accepts but no arithmetic here can use.
bool lf_toNumber(std::string_view field, double& value)
{
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    (void)end;
    return error == std::errc() && std::isfinite(value);
}

ReferenceTrig lf_referenceTrig(double latitude)
{
    const double absLat = std::abs(latitude) * geo::kDegToRad;
    return {latitude, absLat, std::cos(absLat), std::sin(absLat)};
}

bool lf_isWithin(double value, double lowest, double highest)
{
    return value >= lowest && value <= highest;
}

// "adsb_icao", also with the one-letter provider prefix of current clients ("X_adsb_icao").
bool lf_isAdsbSource(std::string_view source)
{
    constexpr std::string_view kAdsb = "adsb_icao";
    if (source.size() == kAdsb.size() + 2 && std::isalpha(static_cast<unsigned char>(source[0])) &&
        source[1] == '_')
        source.remove_prefix(2);
    return source == kAdsb;
}

bool lf_isCallsignText(std::string_view text)
{
    return !text.empty() && text != "null" && text.find('@') == std::string_view::npos;
}

// Step of the registration: false means drop the line.
bool lf_parseRegistration(const std::vector<std::string_view>& fields, TrafficMessage& message)
{
    const std::string_view registration = fields[kRegistrationField];
    if (registration.size() <= kMaxRegistration && registration != "null")
        message.identity.registration.assign(registration);
    return !(message.identity.registration.empty() && fields[kDataSourceField] == "F");
}

// Step of the callsign: false means drop the line.
bool lf_parseCallsign(const std::vector<std::string_view>& fields, TrafficMessage& message)
{
    const std::string_view callsign = fields[kCallsignField];
    if (lf_isCallsignText(callsign))
        message.identity.callsign.assign(callsign);
    return message.identity.callsign != "ERARMTR0";
}

std::string_view lf_airportCode(std::string_view field)
{
    return field == "null" ? std::string_view() : field;
}

double lf_defaultAirspeed(double altitude)
{
    if (altitude <= 2000.0)
        return 180.0;
    if (altitude <= 5000.0)
        return 220.0;
    if (altitude <= 10000.0)
        return 250.0;
    if (altitude <= 20000.0)
        return 350.0;
    return 430.0;
}

// The altitude after the ground test: 0 for an aircraft on the ground. The pressure altitude is
// brought to the local QNH before it is compared with the field elevation. The feed's own ground
// flag is not asked: feeds flag the take-off and landing rolls airborne, and where a line lies
// clearly above the field the test keeps it airborne anyway.
double lf_groundTest(double altitude, double groundSpeed, std::optional<double> referenceElevation)
{
    if (altitude <= 0.0)
        return 0.0;
    if (altitude < 14000.0) {
        const double qnhCorrection = (currentQnh.load(std::memory_order_relaxed) - kStandardQnh) * kFeetPerHpa;
        const double h = altitude + qnhCorrection - referenceElevation.value_or(kNoElevation);
        if (h <= 0.0 || (h <= 45.0 && groundSpeed <= 120.0) || (h <= 90.0 && groundSpeed <= 80.0) ||
            (h <= 120.0 && groundSpeed <= 43.0))
            return 0.0;
    }
    return groundSpeed <= 35.0 ? 0.0 : altitude;
}

// The great-circle distance from the reference against the range, told without trigonometry where
// the line lies clearly inside or outside; a line near the edge gets the exact distance. With h the
// haversine of the central angle, h = sin^2(dLat/2) + cos(lat1) cos(lat2) sin^2(dLon/2) and the
// distance lies between 2R sqrt(h) and 2R sqrt(h / (1 - h)). The bounds of h use
// x - x^3/6 <= sin x <= x and cos(lat2) between cos(|lat1| + dLat) and cos(|lat1| - dLat), from the
// reference's cosine and sine; the margins cover every rounding.
bool lf_isOutOfRange(const ReferenceTrig& trig, LatLon reference, LatLon where, double range)
{
    const double dLat = std::abs(where.latitude - reference.latitude) * geo::kDegToRad;
    double dLonDegrees = std::abs(where.longitude - reference.longitude);
    if (dLonDegrees > 180.0)
        dLonDegrees = 360.0 - dLonDegrees;
    // A reference outside the earth's coordinates (or NaN) leaves the bounds unproven.
    if (!(dLat <= 1.0 && dLonDegrees >= 0.0 && trig.cosLat >= 0.0))
        return gf_distanceNm(reference, where) > range;
    const double halfLat = dLat / 2;
    const double halfLon = dLonDegrees * geo::kDegToRad / 2;
    const double cosHigh = trig.absLat <= dLat ? 1.0 : std::min(1.0, trig.cosLat + trig.sinAbsLat * dLat);
    const double cosLow = std::max(0.0, trig.cosLat * (1.0 - dLat * dLat / 2) - trig.sinAbsLat * dLat);
    const double sinLowLat = halfLat * (1.0 - halfLat * halfLat / 6);
    const double sinLowLon = halfLon * (1.0 - halfLon * halfLon / 6);
    const double hLow = sinLowLat * sinLowLat + trig.cosLat * cosLow * sinLowLon * sinLowLon;
    const double hHigh = halfLat * halfLat + trig.cosLat * cosHigh * halfLon * halfLon;
    constexpr double kDiameterSquared = geo::kTwoEarthRadiusNm * geo::kTwoEarthRadiusNm;
    const double outer = range * (1.0 + 1e-6) + 1e-6;
    if (kDiameterSquared * hLow > outer * outer)
        return true;
    const double inner = range * (1.0 - 1e-6) - 1e-6;
    if (inner > 0.0 && hHigh < 0.5 && kDiameterSquared * hHigh < inner * inner * (1.0 - hHigh))
        return false;
    return gf_distanceNm(reference, where) > range;
}

} // namespace

bool lf_isWantedAircraft(std::string_view type, std::string_view category)
{
    static constexpr std::array<std::string_view, 5> kUnwantedCategories{"B1", "B2", "B4", "C1", "C2"};
    static constexpr std::array<std::string_view, 7> kUnwantedTypes{"GRND", "GLID", "SERV", "BALL",
                                                                    "PARA", "SHIP", "EMER"};
    if (std::find(kUnwantedCategories.begin(), kUnwantedCategories.end(), category) != kUnwantedCategories.end())
        return false;
    if (type.empty() || type.size() > 4)
        return false;
    return std::find(kUnwantedTypes.begin(), kUnwantedTypes.end(), type) == kUnwantedTypes.end();
}

TrafficReader::TrafficReader() : UdpReader("Traffic Reader")
{
    fields_.reserve(64);
}

void TrafficReader::handleDatagram(std::string_view text)
{
    datagram = text;
    onMessage();
}

void TrafficReader::onMessage()
{
    // A copy the compiler need not read again after each field it stores.
    const std::string_view line = datagram;
    if (line.find(" VEH") != std::string_view::npos) {
        lastOutcome_ = LineOutcome::Vehicle;
        return;
    }
    // Every comma ends a field; a comma at the very end adds no empty field.
    fields_.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            if (start < line.size())
                fields_.push_back(line.substr(start));
            break;
        }
        fields_.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    processLine();
}

void TrafficReader::onStop()
{
    gf_setTrafficIndicator(kIndicatorStopped);
    gf_log("Traffic Reader has stopped");
}

void TrafficReader::processLine()
{
    lastErrorCode_ = 0;
    try {
        lastOutcome_ = parseAndQueue();
    } catch (const qmx::SysErrorException& e) {
        // A field that cannot be read drops the line; nobody is told.
        lastOutcome_ = LineOutcome::Failed;
        lastErrorText_ = e.what();
    } catch (const std::exception& e) {
        lastOutcome_ = LineOutcome::Failed;
        lastErrorText_ = e.what();
        if (const std::optional<std::uint64_t> count = exceptionLog_.occur())
            gf_logLine(gf_withRepeatCount(fmt::format("exception in processLine: {}", e.what()), *count));
    }
}

void TrafficReader::fail(std::uint32_t code, const std::string& message)
{
    lastErrorCode_ = code;
    throw qmx::SysErrorException(code, message);
}

LineOutcome TrafficReader::parseAndQueue()
{
    // A short line has nothing to say about the fields it lacks.
    if (fields_.size() < kMinimumFields)
        return LineOutcome::TooFewFields;
    const std::vector<std::string_view>& f = fields_;
    TrafficMessage message;
    StreamPosition& position = message.position;

    // The traffic clock follows every line with a time stamp, also lines dropped below.
    if (!lf_toNumber(f[kTimeStampField], message.time) || !gf_isCalendarTime(message.time))
        fail(741, fmt::format("timestamp:{}", f[kTimeStampField]));
    if (const double ahead = secondsAheadOfWallClock(message.time); ahead > kFutureStampSeconds) {
        if (const std::optional<std::uint64_t> count = futureStampLog_.occur())
            gf_logWarning(gf_withRepeatCount(
                fmt::format("traffic refused: its time stamps lie {:.0f} s ahead of this PC's clock", ahead), *count));
        fail(741, fmt::format("timestamp:{}", f[kTimeStampField]));
    }
    g_latestTrafficStamp.store(message.time, std::memory_order_relaxed);

    if (!lf_parseRegistration(f, message))
        return LineOutcome::NoRegistration;

    if (!lf_toNumber(f[kLatField], position.lat))
        fail(742, fmt::format("lat:{}", f[kLatField]));
    if (!lf_toNumber(f[kLonField], position.lon))
        fail(743, fmt::format("lon:{}", f[kLonField]));
    const LatLon where{position.lat, position.lon};
    if (position.lat < -90.0 || position.lat > 90.0 || position.lon < -180.0 || position.lon > 180.0 ||
        (position.lat >= 0.0 && position.lat <= 0.0009 && position.lon >= 0.0 && position.lon <= 0.05)) {
        std::string text;
        gf_formatLatLon(where, text);
        fail(744, "lalo:" + text);
    }

    // A great-circle distance is never shorter than its difference in latitude, 60 nm a degree: a
    // line far out in latitude is told without the trigonometry (the margin covers the rounding).
    LatLon reference;
    std::optional<double> referenceElevation; // for the ground test below: one lock a line
    {
        std::lock_guard lock(referenceMutex_);
        reference = referencePosition_;
        referenceElevation = referenceElevation_;
    }
    const double range = g_trafficRangeNm.load(std::memory_order_relaxed);
    if (!(reference.latitude == referenceTrig_.latitude))
        referenceTrig_ = lf_referenceTrig(reference.latitude);
    if (std::abs(position.lat - reference.latitude) * 60.0 > range * (1.0 + 1e-9) + 1e-9 ||
        lf_isOutOfRange(referenceTrig_, reference, where, range))
        return LineOutcome::OutOfRange;

    // Callsigns of every line in range, before the filters below.
    const std::string_view callsignField = f[kCallsignField];
    if (collectCallsigns_.load(std::memory_order_relaxed) && lf_isCallsignText(callsignField)) {
        std::lock_guard lock(callsignMutex_);
        if (collectCallsigns_.load())
            collectedCallsigns_.emplace(callsignField);
    }

    const std::string_view type = f[kTypeField];
    if (type != "null" && type != "0" && type != "ZZZZ")
        message.identity.type.assign(type);

    const std::string_view category = f[kCategoryField];
    if (category.empty() || !lf_isWantedAircraft(message.identity.type, category))
        return LineOutcome::UnwantedAircraft;

    if (lf_isAdsbSource(f[kPositionSourceField])) {
        double heading = 0.0;
        if (!lf_toNumber(f[kTrueHeadingField], heading))
            fail(745, fmt::format("true heading:{}", f[kTrueHeadingField]));
        if (heading > 360.0)
            fail(746, fmt::format("true heading:{:.2F}", heading));
        if (heading == 0.0)
            position.trueHeading = geo::kTwoPi;
        else if (heading > 0.0)
            position.trueHeading = heading * geo::kDegToRad;
        if (position.trueHeading)
            position.attitudeFlag = 1;
    }

    const std::string_view hexField = f[kHexIdField];
    const auto [hexEnd, hexError] = std::from_chars(hexField.data(), hexField.data() + hexField.size(), message.hexId);
    (void)hexEnd;
    if (hexError != std::errc())
        fail(640, fmt::format("hexid incorrect{}", hexField));
    if (message.hexId <= kLowestHexId)
        return LineOutcome::SmallHexId;

    if (!lf_toNumber(f[kGroundSpeedField], position.groundSpeed) ||
        !lf_isWithin(position.groundSpeed, 0.0, kHighestSpeed))
        fail(747, fmt::format("gs:{}", f[kGroundSpeedField]));

    double altitude = 0.0;
    if (!lf_toNumber(f[kAltitudeField], altitude) || !lf_isWithin(altitude, kLowestAltitude, kHighestAltitude))
        fail(641, fmt::format("altitude {} incorrect, from: {}", f[kAltitudeField], datagram));
    position.altitude = lf_groundTest(altitude, position.groundSpeed, referenceElevation);
    position.airborne = position.altitude > 0.0 ? 1 : 0;
    if (position.airborne && autoRangeGroundFlag.load(std::memory_order_relaxed) &&
        staticParkingActive.load(std::memory_order_relaxed)) {
        const std::optional<ParkAirportSite> site = gf_parkAirportSite();
        if (position.altitude - (site ? site->elevation : 0.0) > kClimbOutCutOffFt)
            return LineOutcome::ClimbOut;
    }

    if (!lf_parseCallsign(f, message))
        return LineOutcome::BlockedCallsign;
    if (message.identity.registration.empty() && message.identity.callsign.empty())
        return LineOutcome::NoIdentity;

    if (!position.airborne) {
        const std::optional<ParkAirportSite> site = gf_parkAirportSite();
        if (!site)
            return LineOutcome::GroundWithoutParkAirport;
        if (gf_distanceNm(site->position, where) > kGroundRangeNm)
            return LineOutcome::GroundAwayFromParkAirport;
    }

    const std::string_view track = f[kTrackField];
    if (!track.empty() && (!lf_toNumber(track, position.track) ||
                           !lf_isWithin(position.track, kLowestTrack, kHighestTrack)))
        fail(648, fmt::format("track incorrect {}", track));
    if (position.track == 0.0 && position.trueHeading)
        position.track = *position.trueHeading * geo::kRadToDeg;

    if (!lf_toNumber(f[kVerticalSpeedField], position.verticalSpeed) ||
        !lf_isWithin(position.verticalSpeed, -kHighestVerticalRate, kHighestVerticalRate))
        fail(748, fmt::format("vs:{}", f[kVerticalSpeedField]));

    message.identity.departure.assign(lf_airportCode(f[kDepartureField]));
    message.identity.destination.assign(lf_airportCode(f[kDestinationField]));

    if (position.airborne) {
        double roll = 0.0;
        if (!lf_toNumber(f[kRollField], roll))
            fail(750, fmt::format("roll:{}", f[kRollField]));
        if (roll != -1.0 && roll != 0.0)
            position.roll = -(roll * geo::kDegToRad);
    }

    // -1 is the feed's mark of an unknown airspeed.
    if (!lf_toNumber(f[kTrueAirspeedField], position.trueAirspeed) ||
        (position.trueAirspeed != -1.0 && !lf_isWithin(position.trueAirspeed, 0.0, kHighestSpeed)))
        fail(691, fmt::format("TAS incorrect{}", f[kTrueAirspeedField]));
    if (position.trueAirspeed == -1.0)
        position.trueAirspeed = lf_defaultAirspeed(position.altitude);
    position.stop = 0;

    std::lock_guard lock(trafficQueueMutex);
    if (!acceptTraffic)
        return LineOutcome::NotAccepted;
    // Counted unsigned: the pass counter may wrap after 248 days.
    position.duePass = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(passCounter.load(std::memory_order_relaxed)) + kDuePasses);
    return gf_appendTrafficMessage(std::move(message)) ? LineOutcome::Queued : LineOutcome::QueueFull;
}

// A stamp no further ahead of the latest reading than allowed is no further ahead of the clock
// now, which only moves on: the clock is read again when a stamp looks too far ahead, and now and
// then, not for every line.
double TrafficReader::secondsAheadOfWallClock(double stamp)
{
    if (++linesSinceWallClock_ >= kLinesPerWallClockReading ||
        stamp - static_cast<double>(wallClock_) > kFutureStampSeconds) {
        wallClock_ = gf_wallClockSeconds();
        linesSinceWallClock_ = 0;
    }
    return stamp - static_cast<double>(wallClock_);
}

void TrafficReader::setReferencePosition(LatLon position)
{
    std::lock_guard lock(referenceMutex_);
    referencePosition_ = position;
}

LatLon TrafficReader::referencePosition() const
{
    std::lock_guard lock(referenceMutex_);
    return referencePosition_;
}

void TrafficReader::setReferenceElevation(std::optional<double> elevation)
{
    std::lock_guard lock(referenceMutex_);
    referenceElevation_ = elevation;
}

std::optional<double> TrafficReader::referenceElevation() const
{
    std::lock_guard lock(referenceMutex_);
    return referenceElevation_;
}

void TrafficReader::startCallsignCollection()
{
    std::lock_guard lock(callsignMutex_);
    collectedCallsigns_.clear();
    collectCallsigns_.store(true);
}

std::set<std::string> TrafficReader::takeCollectedCallsigns()
{
    std::lock_guard lock(callsignMutex_);
    collectCallsigns_.store(false);
    return collectedCallsigns_;
}

void TrafficReader::clearCollectedCallsigns()
{
    std::lock_guard lock(callsignMutex_);
    collectedCallsigns_.clear();
}

double TrafficReader::lastTimeStamp() const
{
    return g_latestTrafficStamp.load();
}

void TrafficReader::resetLastTimeStamp()
{
    g_latestTrafficStamp.store(0.0);
}
