// The traffic line parser: which lines become traffic messages, what the messages carry, and
// which field errors drop a line. Lines are variations of the first example line of the
// RealTraffic documentation, fed to the reader as received datagrams.

#include "core/log.h"
#include "support/temp_folder.h"
#include "traffic_fixture.h"

#include <cmath>
#include <fmt/format.h>
#include <optional>

namespace {

using namespace traffic_test;

constexpr std::string_view kSample =
    "RTTFC,11234042,-33.9107,152.9902,26400,1248,0,90.12,490.00,AAL72,B789,N835AN,SYD,LAX,1645144774.2,X2,"
    "AA72,adsb_icao,27575,320,474,0.780,0.0,0.0,78.93,92.27,1280,none,A5,1012.8,35008,-1,71.02,"
    "autopilot|vnav|lnav|tcas,0.0,-21.9,223,24,-30,0,1,170124";
constexpr LatLon kSampleAt{-33.9107, 152.9902};
constexpr double kPi = 3.141592653589793;
constexpr double kDay = 86400.0;
// The sample's time stamp moved to the start of the test run: the reader refuses stamps more than
// 300 s ahead of the wall clock.
const double kSampleStamp = static_cast<double>(gf_wallClockSeconds()) + 0.2;

// A time stamp this far from the wall clock now.
double lf_wallClockPlus(double seconds)
{
    return static_cast<double>(gf_wallClockSeconds()) + seconds;
}

std::string stampText(double stamp)
{
    return fmt::format("{}", stamp);
}

using Changes = std::vector<std::pair<std::size_t, std::string>>;

std::string lineWith(const Changes& changes)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = kSample.find(',', start)) != std::string_view::npos; start = comma + 1)
        fields.emplace_back(kSample.substr(start, comma - start));
    fields.emplace_back(kSample.substr(start));
    fields.at(14) = stampText(kSampleStamp);
    for (const auto& [index, text] : changes)
        fields.at(index) = text;
    return fmt::format("{}", fmt::join(fields, ","));
}

class Parser : public TrafficTest {
protected:
    void SetUp() override
    {
        TrafficTest::SetUp();
        trafficReader.setReferencePosition(kSampleAt);
    }

    LineOutcome parse(const std::string& line)
    {
        trafficReader.handleDatagram(line);
        return trafficReader.lastOutcome();
    }

    // The message of a line that must be queued.
    std::optional<TrafficMessage> queued(const Changes& changes)
    {
        const std::size_t before = queueSize();
        const LineOutcome outcome = parse(lineWith(changes));
        EXPECT_EQ(outcome, LineOutcome::Queued) << trafficReader.lastErrorText();
        if (outcome != LineOutcome::Queued || queueSize() != before + 1)
            return std::nullopt;
        return queuedMessages().back();
    }

    // A park airport at the sample's position.
    void parkAirportHere(double elevation)
    {
        gf_setParkAirport({"YSSY", "SYD", kSampleAt.latitude, kSampleAt.longitude, elevation});
    }
};

TEST_F(Parser, TheDocumentedSampleBecomesOneMessage)
{
    passCounter = 1234;
    const auto message = queued({});
    ASSERT_TRUE(message);
    EXPECT_EQ(message->hexId, 11234042u);
    EXPECT_DOUBLE_EQ(message->time, kSampleStamp);
    EXPECT_EQ(message->identity.type, "B789");
    EXPECT_EQ(message->identity.callsign, "AAL72");
    EXPECT_EQ(message->identity.registration, "N835AN");
    EXPECT_EQ(message->identity.departure, "SYD");
    EXPECT_EQ(message->identity.destination, "LAX");
    EXPECT_TRUE(message->identity.airline.empty());
    const StreamPosition& p = message->position;
    EXPECT_DOUBLE_EQ(p.lat, -33.9107);
    EXPECT_DOUBLE_EQ(p.lon, 152.9902);
    EXPECT_DOUBLE_EQ(p.altitude, 26400.0);
    EXPECT_DOUBLE_EQ(p.groundSpeed, 490.0);
    EXPECT_DOUBLE_EQ(p.track, 90.12);
    EXPECT_DOUBLE_EQ(p.verticalSpeed, 1248.0);
    EXPECT_DOUBLE_EQ(p.trueAirspeed, 474.0);
    ASSERT_TRUE(p.trueHeading);
    EXPECT_DOUBLE_EQ(*p.trueHeading, 92.27 * kPi / 180.0);
    EXPECT_EQ(p.attitudeFlag, 1);
    EXPECT_FALSE(p.roll) << "a roll of 0 means not sent";
    EXPECT_EQ(p.airborne, 1);
    EXPECT_EQ(p.duePass, 1234 + 3000);
    EXPECT_DOUBLE_EQ(trafficReader.lastTimeStamp(), kSampleStamp);
}

struct ErrorCase {
    const char* what;
    Changes changes;
    std::uint32_t code;
    const char* text = nullptr; // the message behind "sys error {code}: ", when checked
};

// Every field error drops the line with its own code; NaN and infinity, which the number
// conversion accepts, are errors of their field like any other text that is no number.
TEST_F(Parser, FieldErrorsDropTheLineWithTheirCode)
{
    const std::vector<ErrorCase> cases{
        {"empty time stamp", {{14, ""}}, 741, "timestamp:"},
        {"time stamp NaN", {{14, "nan"}}, 741, "timestamp:nan"},
        {"time stamp infinite", {{14, "inf"}}, 741},
        {"time stamp a day ahead", {{14, stampText(kSampleStamp + kDay + 2.0)}}, 741},
        {"time stamp 330 s ahead", {{14, stampText(lf_wallClockPlus(330.0))}}, 741},
        {"time stamp beyond any clock", {{14, "1e17"}}, 741, "timestamp:1e17"},
        {"time stamp before the year 1", {{14, "-6.3e10"}}, 741},
        {"time stamp near the end of 64 bits", {{14, "9.3e18"}}, 741},
        {"time stamp 1e300", {{14, "1e300"}}, 741},
        {"latitude text", {{2, "north"}}, 742, "lat:north"},
        {"latitude NaN", {{2, "nan"}}, 742},
        {"longitude empty", {{3, ""}}, 743},
        {"longitude -infinity", {{3, "-infinity"}}, 743},
        {"latitude beyond 90", {{2, "90.5"}}, 744, "lalo:90.500000,152.990200"},
        {"longitude beyond -180", {{3, "-180.1"}}, 744},
        {"latitude out of double range", {{2, "1e999"}}, 742},
        {"no position yet", {{2, "0.0005"}, {3, "0.01"}}, 744, "lalo:0.000500,0.010000"},
        {"true heading text", {{25, "east"}}, 745, "true heading:east"},
        {"true heading NaN", {{25, "NaN"}}, 745},
        {"true heading above 360", {{25, "360.5"}}, 746, "true heading:360.50"},
        {"hex id letters", {{1, "abc"}}, 640, "hexid incorrectabc"},
        {"hex id beyond 32 bits", {{1, "4294967296"}}, 640, "hexid incorrect4294967296"},
        {"hex id negative", {{1, "-12345"}}, 640},
        {"ground speed empty", {{8, ""}}, 747, "gs:"},
        {"ground speed infinite", {{8, "inf"}}, 747},
        {"ground speed negative", {{8, "-0.5"}}, 747, "gs:-0.5"},
        {"ground speed beyond 2000 kn", {{8, "2000.5"}}, 747},
        {"altitude beyond 100000 ft", {{4, "100001"}}, 641},
        {"altitude below -2000 ft", {{4, "-2001"}}, 641},
        {"altitude text", {{4, "high"}}, 641},
        {"altitude NaN", {{4, "nan"}}, 641},
        {"track text", {{7, "west"}}, 648, "track incorrect west"},
        {"track NaN", {{7, "nan"}}, 648},
        {"track 1e300", {{7, "1e300"}}, 648, "track incorrect 1e300"},
        {"track beyond 720", {{7, "720.5"}}, 648},
        {"track below -360", {{7, "-360.5"}}, 648},
        {"vertical speed empty", {{5, ""}}, 748, "vs:"},
        {"vertical speed NaN", {{5, "nan"}}, 748},
        {"climb beyond 30000 ft/min", {{5, "30001"}}, 748},
        {"descent beyond 30000 ft/min", {{5, "-30001"}}, 748, "vs:-30001"},
        {"roll text", {{23, "left"}}, 750, "roll:left"},
        {"roll infinite", {{23, "-inf"}}, 750},
        {"airspeed empty", {{20, ""}}, 691, "TAS incorrect"},
        {"airspeed NaN", {{20, "nan"}}, 691, "TAS incorrectnan"},
        {"airspeed beyond 2000 kn", {{20, "2001"}}, 691},
        {"airspeed negative other than unknown", {{20, "-2"}}, 691},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parse(lineWith(c.changes)), LineOutcome::Failed);
        EXPECT_EQ(trafficReader.lastErrorCode(), c.code) << trafficReader.lastErrorText();
        if (c.text != nullptr) {
            EXPECT_EQ(trafficReader.lastErrorText(), fmt::format("sys error {}: {}", c.code, c.text));
        }
    }
    EXPECT_EQ(queueSize(), 0u);
}

TEST_F(Parser, TheAltitudeErrorQuotesTheWholeLine)
{
    const std::string line = lineWith({{4, "x"}});
    EXPECT_EQ(parse(line), LineOutcome::Failed);
    EXPECT_EQ(trafficReader.lastErrorText(), "sys error 641: altitude x incorrect, from: " + line);
}

struct DropCase {
    const char* what;
    Changes changes;
    LineOutcome outcome;
};

TEST_F(Parser, FiltersDropLinesForTheirReason)
{
    const std::vector<DropCase> cases{
        {"no registration, source F", {{11, ""}, {15, "F"}}, LineOutcome::NoRegistration},
        {"registration null, source F", {{11, "null"}, {15, "F"}}, LineOutcome::NoRegistration},
        {"41 NM south", {{2, "-34.5940"}}, LineOutcome::OutOfRange},
        {"40.02 NM north-east", {{2, "-33.43777"}, {3, "153.55538"}}, LineOutcome::OutOfRange},
        {"no category", {{28, ""}}, LineOutcome::UnwantedAircraft},
        {"glider category", {{28, "B1"}}, LineOutcome::UnwantedAircraft},
        {"surface vehicle category", {{28, "C2"}}, LineOutcome::UnwantedAircraft},
        {"type null", {{10, "null"}}, LineOutcome::UnwantedAircraft},
        {"type 0", {{10, "0"}}, LineOutcome::UnwantedAircraft},
        {"type ZZZZ", {{10, "ZZZZ"}}, LineOutcome::UnwantedAircraft},
        {"type of five letters", {{10, "B7879"}}, LineOutcome::UnwantedAircraft},
        {"balloon type", {{10, "BALL"}}, LineOutcome::UnwantedAircraft},
        {"ground vehicle type", {{10, "GRND"}}, LineOutcome::UnwantedAircraft},
        {"hex id 10000", {{1, "10000"}}, LineOutcome::SmallHexId},
        {"blocked callsign", {{9, "ERARMTR0"}}, LineOutcome::BlockedCallsign},
        {"no registration, callsign empty", {{11, ""}, {9, ""}}, LineOutcome::NoIdentity},
        {"no registration, callsign null", {{11, "null"}, {9, "null"}}, LineOutcome::NoIdentity},
        {"13-letter registration, callsign with @", {{11, "ABCDEFGHIJKLM"}, {9, "AA@72"}}, LineOutcome::NoIdentity},
        {"on the ground without park airport", {{4, "0"}}, LineOutcome::GroundWithoutParkAirport},
        {"vehicle", {{9, "TUG VEH"}}, LineOutcome::Vehicle},
    };
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parse(lineWith(c.changes)), c.outcome) << trafficReader.lastErrorText();
    }
    EXPECT_EQ(queueSize(), 0u);
}

TEST_F(Parser, ShortLinesAreDroppedWithoutReadingPastTheirEnd)
{
    const std::string full = lineWith({});
    // The first 28 fields: everything up to the category field.
    std::size_t end = 0;
    for (int i = 0; i < 28; ++i)
        end = full.find(',', end) + 1;
    const std::string shortLine = full.substr(0, end - 1);
    EXPECT_EQ(parse(shortLine), LineOutcome::TooFewFields);
    EXPECT_EQ(parse(shortLine + ","), LineOutcome::TooFewFields) << "a final comma adds no field";
    EXPECT_EQ(parse(shortLine + ",A5"), LineOutcome::Queued);
    EXPECT_EQ(parse("RTTFC"), LineOutcome::TooFewFields);
    EXPECT_EQ(parse(""), LineOutcome::TooFewFields);
    EXPECT_EQ(parse(",,,,,,,,,,,,,,,,,,,,,,,,,,,,"), LineOutcome::TooFewFields) << "28 commas give 28 fields";
    EXPECT_EQ(parse(",,,,,,,,,,,,,,,,,,,,,,,,,,,,,"), LineOutcome::Failed) << "29 commas give 29 fields";
    EXPECT_EQ(trafficReader.lastErrorCode(), 741u);
}

TEST_F(Parser, AcceptedVariants)
{
    EXPECT_EQ(queued({{1, "10001"}})->hexId, 10001u);
    EXPECT_EQ(queued({{1, "10001abc"}})->hexId, 10001u) << "digits up to the first letter";
    EXPECT_EQ(queued({{1, "4294967295"}})->hexId, 4294967295u);
    trafficReader.setReferencePosition({0.0, 0.0});
    EXPECT_EQ(queued({{2, "-0.0005"}, {3, "0.01"}})->position.lat, -0.0005) << "just south of the equator";
    trafficReader.setReferencePosition(kSampleAt);
    EXPECT_EQ(queued({{2, "-34.38055"}, {3, "152.4193"}})->position.lat, -34.38055) << "39.98 NM south-west";

    // Registration: at most 12 characters and not "null"; without one, the callsign carries the line.
    EXPECT_EQ(queued({{11, "ABCDEFGHIJKL"}})->identity.registration, "ABCDEFGHIJKL");
    EXPECT_EQ(queued({{11, "ABCDEFGHIJKLM"}})->identity.registration, "");
    EXPECT_EQ(queued({{11, "null"}})->identity.registration, "");
    EXPECT_EQ(queued({{11, ""}, {15, "X2"}})->identity.registration, "");
    // Without callsign the registration carries it.
    const auto noCallsign = queued({{9, "A@B"}});
    EXPECT_EQ(noCallsign->identity.callsign, "");
    EXPECT_EQ(noCallsign->identity.registration, "N835AN");
    // The bounds of the plausible numbers are plausible themselves.
    EXPECT_EQ(queued({{7, "720"}, {8, "2000"}, {4, "100000"}, {5, "-30000"}, {20, "2000"}})->position.track, 720.0);
    // History is queued whatever the edition (a replay, or a clock that runs behind), and a clock
    // a little fast too.
    EXPECT_EQ(queued({{14, stampText(kSampleStamp - 400 * kDay)}})->time, kSampleStamp - 400 * kDay);
    EXPECT_EQ(queued({{14, stampText(kSampleStamp - kDay - 2.0)}})->time, kSampleStamp - kDay - 2.0);
    const double aheadWithin = lf_wallClockPlus(270.0);
    EXPECT_EQ(queued({{14, stampText(aheadWithin)}})->time, aheadWithin);

    const auto nulls = queued({{12, "null"}, {13, "null"}});
    EXPECT_EQ(nulls->identity.departure, "");
    EXPECT_EQ(nulls->identity.destination, "");
}

TEST_F(Parser, ThePositionSourceDecidesWhetherTheTrueHeadingIsRead)
{
    struct Case {
        const char* source;
        const char* heading;
        std::optional<double> expected; // radians
    };
    const std::vector<Case> cases{
        {"adsb_icao", "0", 2 * kPi},
        {"adsb_icao", "360", 2 * kPi},
        {"adsb_icao", "90", kPi / 2},
        {"adsb_icao", "-5", std::nullopt},
        {"adsb_icao", "-1", std::nullopt},
        {"X_adsb_icao", "180", kPi},
        {"a_adsb_icao", "180", kPi},
        {"mlat", "not read", std::nullopt},
        {"adsb_icao_nt", "not read", std::nullopt},
        {"XY_adsb_icao", "not read", std::nullopt},
        {"1_adsb_icao", "not read", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(fmt::format("{} {}", c.source, c.heading));
        const auto message = queued({{17, c.source}, {25, c.heading}});
        ASSERT_TRUE(message);
        EXPECT_EQ(message->position.trueHeading.has_value(), c.expected.has_value());
        if (c.expected) {
            EXPECT_NEAR(*message->position.trueHeading, *c.expected, 1e-12);
        }
        EXPECT_EQ(message->position.attitudeFlag, c.expected ? 1 : 0);
    }
}

TEST_F(Parser, TrackFallsBackToTheTrueHeading)
{
    EXPECT_DOUBLE_EQ(queued({{7, "0"}, {25, "90"}})->position.track, 90.0);
    EXPECT_DOUBLE_EQ(queued({{7, ""}, {25, "90"}})->position.track, 90.0);
    EXPECT_DOUBLE_EQ(queued({{7, "0"}, {17, "mlat"}})->position.track, 0.0);
    EXPECT_DOUBLE_EQ(queued({{7, ""}, {17, "mlat"}})->position.track, 0.0);
    EXPECT_DOUBLE_EQ(queued({{7, "45.5"}, {25, "90"}})->position.track, 45.5);
}

TEST_F(Parser, RollIsNegatedAndOnlyForAirborneLines)
{
    const auto banked = queued({{23, "10"}});
    ASSERT_TRUE(banked->position.roll);
    EXPECT_DOUBLE_EQ(*banked->position.roll, -10.0 * kPi / 180.0);
    EXPECT_FALSE(queued({{23, "-1"}})->position.roll);
    EXPECT_FALSE(queued({{23, "-0.0"}})->position.roll);
    parkAirportHere(20.0);
    const auto ground = queued({{4, "0"}, {8, "10"}, {23, "10"}});
    EXPECT_EQ(ground->position.airborne, 0);
    EXPECT_FALSE(ground->position.roll);
    EXPECT_EQ(parse(lineWith({{4, "0"}, {8, "10"}, {23, "left"}})), LineOutcome::Queued)
        << "a ground line's roll is not read";
}

TEST_F(Parser, DefaultAirspeedsByAltitude)
{
    const std::vector<std::pair<const char*, double>> cases{
        {"2000", 180.0}, {"2000.5", 220.0}, {"5000", 220.0}, {"10000", 250.0},
        {"10001", 350.0}, {"20000", 350.0}, {"20001", 430.0}, {"45000", 430.0},
    };
    for (const auto& [altitude, airspeed] : cases) {
        SCOPED_TRACE(altitude);
        EXPECT_DOUBLE_EQ(queued({{4, altitude}, {20, "-1"}})->position.trueAirspeed, airspeed);
    }
    parkAirportHere(0.0);
    EXPECT_DOUBLE_EQ(queued({{4, "0"}, {8, "10"}, {20, "-1"}})->position.trueAirspeed, 180.0);
    EXPECT_EQ(parse(lineWith({{20, "-1.5"}})), LineOutcome::Failed) << "only -1 means not sent";
    EXPECT_EQ(trafficReader.lastErrorCode(), 691u);
}

TEST_F(Parser, GroundTest)
{
    struct Case {
        const char* altitude;
        const char* groundSpeed;
        std::optional<double> elevation;
        bool airborne;
        const char* groundFlag = "0"; // the feed's own, 0 airborne and 1 on the ground: not asked
        std::int32_t qnh = 1013;
    };
    const std::vector<Case> cases{
        {"60", "70", 20.0, false},     // h = 40 at 70 kn
        {"60", "125", 20.0, true},     // h = 40 needs at most 120 kn
        {"60", "120", 20.0, false},
        {"110", "80", 20.0, false},    // h = 90 at 80 kn
        {"110", "81", 20.0, true},
        {"140", "43", 20.0, false},    // h = 120 at 43 kn
        {"140.5", "43", 20.0, true},
        {"15", "300", 20.0, false, "1"}, // below the elevation
        {"15", "300", 20.0, false},    // the feed flags a landing roll airborne: the height decides
        {"5234", "164", 5400.0, false}, // an A321 rolling out 166 ft below a high field, flagged airborne
        {"15", "120", 20.0, false},
        {"5380", "100", 5400.0, true, "1", 1023},  // 300 ft higher at QNH 1023: h = 280
        {"5450", "100", 5400.0, false, "1", 1003}, // 300 ft lower at QNH 1003: h = -250
        {"-50", "300", 20.0, false},
        {"5000", "30", 20.0, false},   // 35 kn rule
        {"5000", "36", 20.0, true},
        {"15000", "30", 20.0, false},  // the 35 kn rule holds at any height
        {"13999", "100", 13990.0, false},
        {"14000", "100", 13990.0, true}, // the elevation test stops at 14000 ft
        {"100", "100", std::nullopt, true}, // without elevation E = -1000: h = 1100
        {"-900", "100", std::nullopt, false},
    };
    parkAirportHere(0.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(fmt::format("{} ft {} kn", c.altitude, c.groundSpeed));
        trafficReader.setReferenceElevation(c.elevation);
        currentQnh = c.qnh;
        const auto message = queued({{4, c.altitude}, {8, c.groundSpeed}, {6, c.groundFlag}});
        ASSERT_TRUE(message);
        EXPECT_EQ(message->position.airborne, c.airborne ? 1 : 0);
        if (!c.airborne) {
            EXPECT_EQ(message->position.altitude, 0.0);
        }
    }
    currentQnh = kStandardQnh;
}

TEST_F(Parser, GroundLinesOnlyNearTheParkAirport)
{
    gf_setParkAirport({"YSSY", "SYD", kSampleAt.latitude + 4.99 / 60.0, kSampleAt.longitude, 0.0});
    EXPECT_EQ(parse(lineWith({{4, "0"}, {8, "10"}})), LineOutcome::Queued) << "4.99 NM away";
    gf_setParkAirport({"YSSY", "SYD", kSampleAt.latitude + 5.01 / 60.0, kSampleAt.longitude, 0.0});
    EXPECT_EQ(parse(lineWith({{4, "0"}, {8, "10"}})), LineOutcome::GroundAwayFromParkAirport);
    EXPECT_EQ(parse(lineWith({{4, "5000"}, {8, "30"}})), LineOutcome::GroundAwayFromParkAirport)
        << "slow at 5000 ft is on the ground";
    EXPECT_EQ(parse(lineWith({})), LineOutcome::Queued) << "airborne lines need no park airport";
}

TEST_F(Parser, ClimbOutCutOffWithTheGroundRange)
{
    parkAirportHere(100.0);
    staticParkingActive = true;
    autoRangeGroundFlag = true;
    EXPECT_EQ(parse(lineWith({{4, "3101"}})), LineOutcome::ClimbOut);
    EXPECT_EQ(parse(lineWith({{4, "3100"}})), LineOutcome::Queued);
    autoRangeGroundFlag = false;
    EXPECT_EQ(parse(lineWith({{4, "3101"}})), LineOutcome::Queued);
    autoRangeGroundFlag = true;
    staticParkingActive = false;
    EXPECT_EQ(parse(lineWith({{4, "3101"}})), LineOutcome::Queued);
}

TEST_F(Parser, NothingIsQueuedWhileTrafficIsRefusedButTheClockFollows)
{
    gf_setAcceptTraffic(false);
    EXPECT_EQ(parse(lineWith({{14, stampText(kSampleStamp + 0.3)}})), LineOutcome::NotAccepted);
    EXPECT_EQ(queueSize(), 0u);
    EXPECT_DOUBLE_EQ(trafficReader.lastTimeStamp(), kSampleStamp + 0.3);
    // Dropped lines move the clock as well, from the time stamp on; a refused stamp does not.
    EXPECT_EQ(parse(lineWith({{14, stampText(kSampleStamp + 1.0)}, {28, ""}})), LineOutcome::UnwantedAircraft);
    EXPECT_DOUBLE_EQ(trafficReader.lastTimeStamp(), kSampleStamp + 1.0);
    EXPECT_EQ(parse(lineWith({{14, "1e300"}})), LineOutcome::Failed);
    EXPECT_DOUBLE_EQ(trafficReader.lastTimeStamp(), kSampleStamp + 1.0);
    gf_setAcceptTraffic(true);
    EXPECT_EQ(parse(lineWith({})), LineOutcome::Queued);
}

TEST_F(Parser, CallsignsAreCollectedInRangeBeforeTheFilters)
{
    parse(lineWith({{9, "BEFORE"}}));
    trafficReader.startCallsignCollection();
    parse(lineWith({{9, "QFA1"}}));
    parse(lineWith({{9, "QFA1"}}));
    parse(lineWith({{9, "VOZ2"}, {28, ""}}));                 // dropped later: still collected
    parse(lineWith({{9, "FAR1"}, {2, "-35.0"}}));             // out of range
    parse(lineWith({{9, "NOREG"}, {11, ""}, {15, "F"}}));     // dropped before the range test
    parse(lineWith({{9, "null"}}));
    parse(lineWith({{9, "A@B"}}));
    parse(lineWith({{9, ""}}));
    EXPECT_EQ(trafficReader.takeCollectedCallsigns(), (std::set<std::string>{"QFA1", "VOZ2"}));
    EXPECT_FALSE(trafficReader.collectingCallsigns());
    parse(lineWith({{9, "AFTER"}}));
    EXPECT_EQ(trafficReader.takeCollectedCallsigns(), (std::set<std::string>{"QFA1", "VOZ2"}))
        << "nothing is added once the set was taken";
    trafficReader.startCallsignCollection();
    EXPECT_TRUE(trafficReader.takeCollectedCallsigns().empty()) << "a new collection starts empty";
}

// The static parking takes the callsigns over while the reader thread keeps inserting: the
// take-over and the insertions are one lock apart, so none is half-done (checked by the thread
// sanitizer) and nothing arrives after the take-over.
TEST_F(Parser, CallsignHandOverBetweenThreads)
{
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; !done.load(); ++i)
            trafficReader.handleDatagram(lineWith({{9, fmt::format("CS{}", i % 500)}}));
    });
    for (int round = 0; round < 50; ++round) {
        trafficReader.startCallsignCollection();
        eventually([] { return queueSize() > 0; });
        const std::set<std::string> taken = trafficReader.takeCollectedCallsigns();
        EXPECT_EQ(trafficReader.takeCollectedCallsigns(), taken);
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.clear();
    }
    done = true;
    reader.join();
}


std::size_t lf_occurrences(const std::string& text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A flood cannot grow the queue without limit: the newest lines are dropped, counted, and
// warned about once a minute.
// A PC clock that runs slow refuses the traffic: the log says why, once a minute with a count.
TEST_F(Parser, StampsTooFarAheadAreRefusedWithAWarningOnceAMinute)
{
    const testsupport::TempFolder folder(true);
    gf_openLog();
    useLimiterClock();
    const std::string ahead = lineWith({{14, stampText(lf_wallClockPlus(600.0))}});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(parse(ahead), LineOutcome::Failed);
    EXPECT_EQ(trafficReader.lastErrorCode(), 741u);
    moveLimiterClock(std::chrono::minutes(1));
    EXPECT_EQ(parse(ahead), LineOutcome::Failed);
    gf_closeLog();
    const std::string log = testsupport::readFile(folder.path() / "Log.txt");
    EXPECT_EQ(lf_occurrences(log, "===> traffic refused: its time stamps lie "), 2u) << log;
    EXPECT_NE(log.find(" s ahead of this PC's clock (3 times since the previous report)"), std::string::npos) << log;
}

TEST_F(Parser, AFullQueueDropsTheNewestLinesAndWarnsOnceAMinuteWithACount)
{
    const testsupport::TempFolder folder(true);
    gf_openLog();
    useLimiterClock();
    const std::uint64_t droppedBefore = gf_droppedTrafficMessages();
    {
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.resize(kTrafficQueueLimit - 1);
    }
    EXPECT_EQ(parse(lineWith({{1, "10001"}})), LineOutcome::Queued); // the last free place
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(parse(lineWith({{1, "10002"}})), LineOutcome::QueueFull);
    EXPECT_EQ(queueSize(), kTrafficQueueLimit);
    EXPECT_EQ(queuedMessages().back().hexId, 10001u);
    const std::string warning = "===> traffic queue full (10000 messages): ";
    EXPECT_EQ(lf_occurrences(testsupport::readFile(folder.path() / "Log.txt"), warning), 1u);
    moveLimiterClock(std::chrono::minutes(1));
    EXPECT_EQ(parse(lineWith({{1, "10002"}})), LineOutcome::QueueFull);
    gf_closeLog();
    const std::string log = testsupport::readFile(folder.path() / "Log.txt");
    EXPECT_EQ(lf_occurrences(log, warning), 2u) << log;
    EXPECT_NE(log.find(warning + "4 new messages dropped since the previous report"), std::string::npos) << log;
    EXPECT_EQ(gf_droppedTrafficMessages() - droppedBefore, 5u);
    // Once the engine has taken one, the next line is queued again.
    {
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.pop_front();
    }
    EXPECT_EQ(parse(lineWith({{1, "10003"}})), LineOutcome::Queued);
}

} // namespace
