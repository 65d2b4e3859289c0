#include "airports/generated_airport_files.h"
#include "liveries/dbase.h"
#include "liveries/scan_messages.h"
#include "standfiles_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fmt/format.h>
#include <pugixml.hpp>

namespace fs = std::filesystem;

namespace {

BglStand parking(const std::string& name, double radiusMetres, bool suffixed = false)
{
    BglStand stand;
    stand.name = name;
    stand.radiusMetres = radiusMetres;
    stand.latitude = 52.3;
    stand.longitude = 4.7;
    stand.heading = 1.0;
    stand.parkingType = 8;
    stand.nameSuffixed = suffixed;
    return stand;
}

BglStand helipad(std::uint32_t number)
{
    BglStand stand = parking(fmt::format("helipad{}", number), 10.0);
    stand.heli = true;
    stand.parkingType = 0;
    return stand;
}

BglAirport airportWith(const std::string& code, std::size_t stands, const fs::path& bglPath)
{
    BglAirport airport;
    airport.code = code;
    airport.name = "Test field";
    airport.elevationFeet = 123;
    airport.bglPath = bglPath;
    for (std::size_t i = 0; i < stands; ++i)
        airport.stands.push_back(parking(fmt::format("G{}", i + 1), 20.0));
    return airport;
}

class GeneratedAirportFiles : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        gf_takeScanMessages();
        g_addonAirportsFound = false;
        dbaseTables.Publishers = {{"Some Pub", "SomePubScenery"}};
        dbaseTables.PublisherAirports = {{"Some Pub", {"LEAB040", "LEVC012"}}};
        dbaseTables.SimaddonAirports = {"YBBN"};
    }
    void TearDown() override
    {
        dbaseTables.Publishers.clear();
        dbaseTables.PublisherAirports.clear();
        dbaseTables.SimaddonAirports.clear();
        g_addonAirportsFound = false;
        StandFilesTest::TearDown();
    }

    static std::vector<std::string> messages() { return gf_takeScanMessages(); }
    static bool hasMessage(const std::vector<std::string>& lines, const std::string& line)
    {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::vector<std::string> standIds(const fs::path& file)
    {
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(file.c_str())) << file;
        std::vector<std::string> ids;
        for (const pugi::xml_node parkpos : document.child("parkpositions").children("parkpos"))
            ids.emplace_back(parkpos.attribute("id").value());
        return ids;
    }
};

TEST_F(GeneratedAirportFiles, SuffixedNamesFollowStandSizeLargestFirst)
{
    AirportFile file;
    file.stands = lf_airportFileFromBgl([] {
                      BglAirport airport;
                      airport.stands = {parking("G1", 20.0), parking("B2", 15.0), parking("G1a", 35.0, true),
                                        parking("G1b", 30.0, true), parking("B2a", 40.0, true)};
                      return airport;
                  }()).stands;
    lf_sortAndNameStands(file);
    auto radiusOf = [&](const std::string& name) {
        for (const Stand& stand : file.stands)
            if (stand.name == name)
                return stand.radius * 1852.0;
        return -1.0;
    };
    EXPECT_NEAR(radiusOf("G1"), 35.0, 0.01);
    EXPECT_NEAR(radiusOf("G1a"), 30.0, 0.01);
    EXPECT_NEAR(radiusOf("G1b"), 20.0, 0.01);
    EXPECT_NEAR(radiusOf("B2"), 40.0, 0.01);
    EXPECT_NEAR(radiusOf("B2a"), 15.0, 0.01);
    EXPECT_TRUE(std::none_of(file.stands.begin(), file.stands.end(), [](const Stand& s) { return s.nameSuffixed; }));
}

TEST_F(GeneratedAirportFiles, UnknownPublisherIsGeneratedIntoThirdpartyWithItsBglPath)
{
    BglAirport airport = airportWith("ZZZZ", 12, "/scenery/freeware/zzzz.bgl");
    airport.stands.push_back(helipad(1));
    airport.helipadCount = 1;
    std::reverse(airport.stands.begin(), airport.stands.end());
    lf_processBglAirport(std::move(airport));

    const std::vector<std::string> lines = messages();
    EXPECT_TRUE(hasMessage(lines, "Generated ZZZZ.xml: 13 positions, of which 1 helipad"));
    EXPECT_TRUE(hasMessage(lines, "===> ZZZZ has 13 parkpos while archived one has 0"));
    EXPECT_TRUE(g_addonAirportsFound.load());
    const fs::path file = g_myThirdpartyFolder / "ZZZZ.xml";
    const std::vector<std::string> ids = standIds(file);
    ASSERT_EQ(ids.size(), 13u);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ(ids.front(), "G1");
    EXPECT_EQ(ids.back(), "helipad1");
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file.c_str()));
    EXPECT_STREQ(document.select_node("//parameter[@name='publisher']").node().attribute("value").value(), "unknown");
    EXPECT_STREQ(document.select_node("//parameter[@name='BGLpath']").node().attribute("value").value(),
                 "/scenery/freeware/zzzz.bgl");
    EXPECT_STREQ(document.select_node("//parkpos[@id='helipad1']").node().attribute("radius").value(), "10.0");
}

TEST_F(GeneratedAirportFiles, ArchivedPublisherAirportIsLinkedAndGeneratedOnlyWithMoreStands)
{
    lf_processBglAirport(airportWith("LEAB", 40, "/scenery/SomePubScenery/leab.bgl"));
    EXPECT_EQ(testsupport::readFile(g_myThirdpartyFolder / "LEAB.txt"), "archive/thirdparty/Some%20Pub/LEAB.xml\n");
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "LEAB.xml"));
    EXPECT_TRUE(hasMessage(messages(), "thirdparty airport LEAB linked to archive/thirdparty/Some%20Pub/LEAB.xml"));
    EXPECT_TRUE(g_addonAirportsFound.load());

    lf_processBglAirport(airportWith("LEAB", 41, "/scenery/SomePubScenery/leab.bgl"));
    EXPECT_EQ(standIds(g_myThirdpartyFolder / "LEAB.xml").size(), 41u);
    EXPECT_TRUE(hasMessage(messages(), "===> LEAB has 41 parkpos while archived one has 40"));

    lf_processBglAirport(airportWith("LEBL", 2, "/scenery/SomePubScenery/lebl.bgl"));
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "LEBL.txt"));
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "LEBL.xml"));
    EXPECT_TRUE(hasMessage(messages(), "thirdparty Some Pub LEBL does not exist"));
}

TEST_F(GeneratedAirportFiles, TheUsersOwnStandAndLinkFilesAreNeverOverwritten)
{
    const std::string ownLink = "airports/my_thirdparty/mine/LEAB.xml\n";
    testsupport::writeFile(g_myThirdpartyFolder / "LEAB.txt", ownLink);
    const std::string ownStands = airportstest::apfText("", "<parkpos id=\"Mine\" latitude=\"39\" longitude=\"-1.8\"/>\n");
    testsupport::writeFile(g_myThirdpartyFolder / "LEBL.xml", ownStands);
    lf_processBglAirport(airportWith("LEAB", 40, "/scenery/SomePubScenery/leab.bgl"));
    lf_processBglAirport(airportWith("LEBL", 2, "/scenery/SomePubScenery/lebl.bgl"));
    EXPECT_EQ(testsupport::readFile(g_myThirdpartyFolder / "LEAB.txt"), ownLink);
    EXPECT_EQ(testsupport::readFile(g_myThirdpartyFolder / "LEBL.xml"), ownStands);
    const std::vector<std::string> lines = messages();
    EXPECT_TRUE(hasMessage(lines, "===> Link file " + (g_myThirdpartyFolder / "LEAB.txt").string() +
                                      " left out, a file of the user's own is there"));
    EXPECT_TRUE(hasMessage(lines, "===> Generating " + (g_myThirdpartyFolder / "LEBL.xml").string() +
                                      " left out, a file of the user's own is there"));
    EXPECT_FALSE(hasMessage(lines, "Generated LEBL.xml: 2 positions"));
}

TEST_F(GeneratedAirportFiles, OfTwoBglFilesWithOneAirportTheLaterInSceneryOrderIsKept)
{
    for (const bool laterFirst : {true, false}) {
        gf_forgetGeneratedAirports();
        BglAirport earlier = airportWith("ZZZZ", 3, "/scenery/freeware/a.bgl");
        earlier.sceneryOrder = 1;
        BglAirport later = airportWith("ZZZZ", 5, "/scenery/freeware/b.bgl");
        later.sceneryOrder = 2;
        if (laterFirst)
            lf_processBglAirport(std::move(later));
        lf_processBglAirport(std::move(earlier));
        if (!laterFirst)
            lf_processBglAirport(std::move(later));
        EXPECT_EQ(standIds(g_myThirdpartyFolder / "ZZZZ.xml").size(), 5u);
        EXPECT_TRUE(hasMessage(messages(), "===> ZZZZ of /scenery/freeware/a.bgl left out, /scenery/freeware/b.bgl "
                                           "comes later in the scenery order"));
    }
}

TEST_F(GeneratedAirportFiles, OrbxAirportIsLinkedWithoutGeneratedFileOrGeneratedWhenNotArchived)
{
    lf_processBglAirport(airportWith("YBBN", 80, "/scenery/ORBX/YBBN/ybbn.bgl"));
    EXPECT_EQ(testsupport::readFile(g_myOrbxFolder / "YBBN.txt"), "archive/simaddon/YBBN.xml\n");
    EXPECT_FALSE(fs::exists(g_myOrbxFolder / "YBBN.xml"));
    std::vector<std::string> lines = messages();
    EXPECT_TRUE(hasMessage(lines, "simaddon airport YBBN linked to archive/simaddon/YBBN.xml"));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.find("parkpos") != l.npos; }));

    lf_processBglAirport(airportWith("YBCG", 1, "/scenery/ORBX/YBCG/ybcg.bgl"));
    lines = messages();
    EXPECT_TRUE(hasMessage(lines, "YBCG does not exist as simaddon"));
    EXPECT_TRUE(hasMessage(lines, "Generated YBCG.xml: 1 position"));
    EXPECT_EQ(standIds(g_myOrbxFolder / "YBCG.xml").size(), 1u);
}

TEST_F(GeneratedAirportFiles, LinkFileFolderIsMadeWhenMissingAndAFailedLinkIsGenerated)
{
    fs::remove_all(g_myOrbxFolder);
    lf_processBglAirport(airportWith("YBBN", 5, "/scenery/ORBX/YBBN/ybbn.bgl"));
    EXPECT_TRUE(fs::exists(g_myOrbxFolder / "YBBN.txt"));
    lf_processBglAirport(airportWith("QQQQ", 0, "/scenery/freeware/q.bgl")); // no stands, no file
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "QQQQ.xml"));

    // The folder's place is taken by a file: no link, so the airport is generated (and reported).
    fs::remove_all(g_myThirdpartyFolder);
    testsupport::writeFile(g_myThirdpartyFolder, "not a folder");
    g_addonAirportsFound = false;
    lf_processBglAirport(airportWith("LEVC", 3, "/scenery/SomePubScenery/levc.bgl"));
    const std::vector<std::string> lines = messages();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.starts_with("===> Writing link file") && l.find("LEVC.txt") != l.npos;
    }));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
        return l.starts_with("===> Generating") && l.ends_with("did not succeed");
    }));
    EXPECT_FALSE(g_addonAirportsFound.load());
}

} // namespace
