// The airport data base and the user's park-airport list.

#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "simlink/user_stand_services.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "core/exceptions.h"
#include "core/geodesy.h"
#include "simlink/sim_state.h"
#include "standfiles_fixture.h"

#include <cmath>
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

using airportstest::apfText;
using airportstest::parameterXml;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr double kNmPerDegree = 60.0;

class AirportDbTest : public airportstest::StandFilesTest {
protected:
    void TearDown() override
    {
        userAcDataValid = false;
        parkingBusyFlag = false;
        userAcStand.clear();
        StandFilesTest::TearDown();
    }
    static std::string airport(const std::string& code, double lat, double lon = 0.0, const std::string& extra = "")
    {
        return fmt::format("<airport code=\"{}\" lat=\"{}\" lon=\"{}\" alt=\"10\" iata=\"\" {}/>\n", code, lat, lon,
                           extra);
    }
    // The user's list once the writes asked for are done.
    static std::string written()
    {
        gf_finishMyParkAirportWrites();
        return testsupport::readFile(g_myParkAirportsFile);
    }
    static void writeDb(const std::string& body)
    {
        testsupport::writeFile(g_airportsDbFile, "<?xml version=\"1.0\"?>\n<airports>\n" + body + "</airports>\n");
    }
    static std::string userError(const std::string& body)
    {
        writeDb(body);
        try {
            gf_readAirports();
        } catch (const qmx::UserErrorException& e) {
            return e.what();
        }
        return "no error";
    }
    static void writeList(const std::string& text) { testsupport::writeFile(g_myParkAirportsFile, text); }
    static std::vector<std::string> codes()
    {
        std::vector<std::string> out;
        for (const ParkAirport& entry : parkAirportList)
            out.push_back(entry.stand.empty() ? entry.code : entry.code + "," + entry.stand);
        return out;
    }
};

TEST_F(AirportDbTest, LoadsSortsAndLoadsOnce)
{
    writeDb("<airport code=\"EGLL\" iata=\"LHR\" lat=\"51.47\" lon=\"-0.46\" alt=\"1e3\" extra=\"x\"/>\n"
            "<note/>\n<airport code=\"EDDF\" lat=\"50.03\" lon=\"8.57\" alt=\" 305.5ft\"/>\n"
            "<airport lat=\"1\" lon=\"2\" alt=\"3\"/>\n");
    EXPECT_TRUE(gf_readAirports());
    ASSERT_EQ(airportTable.size(), 3u);
    EXPECT_EQ(airportTable[0].code, "");
    EXPECT_EQ(airportTable[1].code, "EDDF");
    EXPECT_DOUBLE_EQ(airportTable[1].elevation, 305.5);
    EXPECT_DOUBLE_EQ(airportTable[2].elevation, 1000.0);
    EXPECT_THAT(logText(), HasSubstr(fmt::format("3 airports read from \"{}\"", g_airportsDbFile.string())));

    writeDb("");
    EXPECT_TRUE(gf_readAirports()) << "a second call does not read again";
    EXPECT_EQ(airportTable.size(), 3u);
    const std::optional<AirportRecord> found = gf_findAirport("EGLL");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->iataCode, "LHR");
    EXPECT_EQ(gf_airportText(*found), "EGLL (LHR)");
    EXPECT_FALSE(gf_findAirport("EGL"));
}

TEST_F(AirportDbTest, FailuresBecomeUserError88)
{
    try {
        gf_readAirports();
        ADD_FAILURE() << "a missing file is an error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()), "88: " + g_airportsDbFile.string() + " not loaded File was not found");
    }
    EXPECT_EQ(userError("<airport code=\"A\" lon=\"1\" alt=\"1\"/>"), "88: invalid stod argument");
    EXPECT_EQ(userError("<airport code=\"A\" lat=\"1\" lon=\"1\"/>"), "88: invalid stof argument");
    EXPECT_EQ(userError("<airport code=\"A\" lat=\"1e999\" lon=\"1\" alt=\"1\"/>"), "88: stod argument out of range");
    testsupport::writeFile(g_airportsDbFile, "<other/>");
    try {
        gf_readAirports();
        ADD_FAILURE();
    } catch (const qmx::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()), "88: " + g_airportsDbFile.string() + " not found");
    }
    // A failed load leaves nothing behind for the next attempt to add to.
    writeDb(airport("EDDF", 50.0));
    EXPECT_TRUE(gf_readAirports());
    EXPECT_EQ(airportTable.size(), 1u);
}

// A place north-east of `from` whose distance from it comes out as exactly `nm`: a hair less
// than `nm` to the north, then the smallest step east that reaches `nm`.
std::optional<LatLon> exactlyAway(LatLon from, double nm)
{
    LatLon to{from.latitude + nm / kNmPerDegree, from.longitude};
    for (int tries = 0; tries < 100; ++tries) {
        to.latitude = std::nextafter(to.latitude, -90.0);
        if (gf_distanceNm(from, {to.latitude, from.longitude}) >= nm)
            continue;
        double near = from.longitude;
        double far = from.longitude + 0.01;
        while (std::nextafter(near, far) < far) {
            const double middle = near + (far - near) / 2;
            (gf_distanceNm(from, {to.latitude, middle}) < nm ? near : far) = middle;
        }
        to.longitude = far;
        if (gf_distanceNm(from, to) == nm)
            return to;
    }
    return std::nullopt;
}

TEST_F(AirportDbTest, NearestAirportWithinFiveMiles)
{
    const LatLon user{-30.0, 10.0};
    const std::optional<LatLon> edge = exactlyAway(user, 5.0);
    ASSERT_TRUE(edge);
    writeDb(airport("AAAA", 51.0 + 2.0 / kNmPerDegree) + airport("BBBB", 51.0 + 1.0 / kNmPerDegree) +
            airport("CCCC", 51.0 - 5.01 / kNmPerDegree) + airport("EDGE", edge->latitude, edge->longitude));
    ASSERT_TRUE(gf_readAirports());
    ASSERT_TRUE(gf_nearestAirport(user)) << "an airport at exactly 5.0 nm counts";
    const std::optional<AirportRecord> nearest = gf_nearestAirport({51.0, 0.0});
    ASSERT_TRUE(nearest);
    EXPECT_EQ(nearest->code, "BBBB");
    EXPECT_THAT(logText(), HasSubstr("Airport BBBB is closest, neighbour is AAAA"));
    EXPECT_FALSE(gf_nearestAirport({40.0, 0.0}));
}

TEST_F(AirportDbTest, NeighbourWithANearerStandWins)
{
    writeDb(airport("AAAA", 51.0 + 2.0 / kNmPerDegree) + airport("BBBB", 51.0 + 1.0 / kNmPerDegree));
    ASSERT_TRUE(gf_readAirports());
    testsupport::writeFile(g_myThirdpartyFolder / "AAAA.xml",
                           apfText("", "<parkpos id=\"S1\" latitude=\"51.0001\" longitude=\"0\"/>\n"));
    testsupport::writeFile(g_myThirdpartyFolder / "BBBB.xml",
                           apfText("", "<parkpos id=\"T1\" latitude=\"51.01\" longitude=\"0\"/>\n"));
    const std::optional<AirportRecord> nearest = gf_nearestAirport({51.0, 0.0});
    ASSERT_TRUE(nearest);
    EXPECT_EQ(nearest->code, "AAAA");
    EXPECT_THAT(logText(), HasSubstr("Airport BBBB is closest, but stand S1 at neighbouring airport AAAA is closest at "
                                     "11 meters ..."));
}

TEST_F(AirportDbTest, PrefixedNumbers)
{
    std::uint32_t out = 7;
    EXPECT_TRUE(lf_parsePrefixedNumber("ctx", "EGLL", out, "EGLL12"));
    EXPECT_EQ(out, 12u);
    EXPECT_FALSE(lf_parsePrefixedNumber("ctx", "EGLL", out, "EGKK12"));
    EXPECT_TRUE(lf_parsePrefixedNumber("ctx", "EGLL", out, "EGLLx"));
    EXPECT_EQ(out, 12u);
    EXPECT_THAT(logText(), HasSubstr("===> ctx EGLL EGLLx invalid stoi argument"));
}

TEST_F(AirportDbTest, ReadsTheParkAirportList)
{
    writeDb(airport("EDDF", 50.0) + airport("EGLL", 51.0) + airport("LFPG", 49.0));
    ASSERT_TRUE(gf_readAirports());
    writeList("EDDF\r\n\nEDDF,A12\nEGLL , B3 \nEGLL,A,B\nXXXX\n");
    testsupport::writeFile(g_myThirdpartyFolder / "LFPG.xml", "");
    testsupport::writeFile(g_myThirdpartyFolder / "EGLL.xml", "");
    testsupport::writeFile(g_myThirdpartyFolder / "ZZZZ.xml", "");
    EXPECT_FALSE(lf_readMyParkAirports());
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDF", "EGLL,B3", "LFPG"}));
    EXPECT_DOUBLE_EQ(parkAirportList[1].position.latitude, 51.0);
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("===> my_park_airports.txt:EDDF double, skipped"));
    EXPECT_THAT(log, HasSubstr("===> my_park_airports.txt:EGLL,A,B wrong syntax, skipped"));
    EXPECT_THAT(log, HasSubstr("airport XXXX is unknown"));
    EXPECT_THAT(log, HasSubstr("2 park airports read from \"my_park_airports.txt\""));
    EXPECT_THAT(log, HasSubstr("1 park airport added from my_thirdparty folder(-s) "));

    fs::remove(g_myParkAirportsFile);
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_THAT(logText(), HasSubstr(g_myParkAirportsFile.string() + " not found"));
}

TEST_F(AirportDbTest, WritesTheFrontEntry)
{
    gf_setDestinationParkAirport("EDDF", {50.0, 8.5});
    EXPECT_EQ(written(), "EDDF\n");
    EXPECT_THAT(logText(), HasSubstr("my_park_airports.txt created with EDDF"));

    parkAirportList.front().stand = "A12";
    gf_addMyParkAirport();
    EXPECT_EQ(written(), "EDDF,A12\n");
    gf_setDestinationParkAirport("EBBR", {50.9, 4.5});
    EXPECT_EQ(written(), "EBBR\nEDDF,A12\n");
    parkAirportList.front().stand = "";
    gf_addMyParkAirport();
    EXPECT_EQ(written(), "EBBR,\nEDDF,A12\n");
    EXPECT_THAT(logText(), HasSubstr("my_park_airports.txt:EBBR, updated stand"));

    gf_setDestinationParkAirport("EDDF", {0.0, 0.0});
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDF,A12", "EBBR"}));
    EXPECT_DOUBLE_EQ(parkAirportList.front().position.latitude, 50.0) << "moved unchanged";
    EXPECT_EQ(written(), "EBBR,\nEDDF,A12\n");

    writeDb(airport("EDDF", 50.0) + airport("EBBR", 50.9));
    ASSERT_TRUE(gf_readAirports());
    lf_readMyParkAirports();
    EXPECT_EQ(codes(), (std::vector<std::string>{"EBBR", "EDDF,A12"}));

    // A list that cannot be decoded (UTF-16 with a lone surrogate) is kept as it is.
    const std::string undecodable("\xFF\xFE" "E\0B\0\x00\xD8\n\0", 10);
    testsupport::writeFile(g_myParkAirportsFile, undecodable);
    EXPECT_FALSE(lf_readMyParkAirports());
    gf_setDestinationParkAirport("LEAB", {38.9, -1.9});
    EXPECT_EQ(written(), undecodable);
    EXPECT_THAT(logText(), HasSubstr("could not be read and is left as it is"));
    EXPECT_THAT(logText(), Not(HasSubstr("created with LEAB")));
}

TEST_F(AirportDbTest, ReservedStandFollowsTheFrontEntry)
{
    writeDb(airport("EDDF", 50.0));
    ASSERT_TRUE(gf_readAirports());
    writeList("EDDF,V155\n");
    gf_setParkAirport({"EDDF", "FRA", 50.0, 0.0, 300.0});
    standTable.emplace_back("V154", std::vector<ParkPosOption>{}, StandPlacement{}, 30.0, 1, 1, 1);
    standTable.emplace_back("V155", std::vector<ParkPosOption>{}, StandPlacement{}, 30.0, 1, 1, 1);
    reservedStand = "V154";
    standTable[0].reserved = true;

    std::string message;
    EXPECT_TRUE(gf_checkReservedStand(true, message));
    EXPECT_EQ(message, "park airports and stands are okay") << "no user data yet";

    userAcDataValid = true;
    message.clear();
    EXPECT_TRUE(gf_checkReservedStand(true, message));
    EXPECT_EQ(message, "reserved stand changed from \"V154\" to \"V155\"");
    EXPECT_EQ(reservedStand, "V155");
    EXPECT_FALSE(standTable[0].reserved);
    EXPECT_TRUE(standTable[1].reserved);

    writeList("EDDF,V155\nXXXX\n");
    message = "kept";
    EXPECT_FALSE(gf_checkReservedStand(true, message));
    EXPECT_EQ(message, "kept");
}

} // namespace
