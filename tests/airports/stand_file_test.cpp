// Airport stand files: both writing modes, and the element readers.

#include "airports/apf_state.h"
#include "airports/stand_file.h"
#include "liveries/dbase.h"
#include "standfiles_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class StandFileTest : public airportstest::StandFilesTest {
protected:
    static Stand stand(const std::string& name)
    {
        return Stand(name, {}, {51.5, -0.45, 1.5707963267948966}, 0.02 * 1852.0, 1, 0, 1);
    }
    static ParkPosOption option(const std::string& reg, std::uint32_t number)
    {
        ParkPosOption o;
        o.airl = "BAW";
        o.type = "A320";
        o.reg = reg;
        o.cs = "BAW12";
        o.day = 3;
        o.number = number;
        o.hours.set(10).set(11);
        return o;
    }
    pugi::xml_document writeAndLoad(const AirportFile& file, ApfWriteMode mode)
    {
        const fs::path path = folder.path() / "EGLL.xml";
        EXPECT_TRUE(gf_writeApf(file, path, mode));
        pugi::xml_document document;
        EXPECT_TRUE(document.load_file(path.c_str()));
        return document;
    }
    static std::vector<std::string> attributeNames(const pugi::xml_node& node)
    {
        std::vector<std::string> names;
        for (const pugi::xml_attribute a : node.attributes())
            names.emplace_back(a.name());
        return names;
    }
    static std::vector<std::string> parameterNames(const pugi::xml_document& document)
    {
        std::vector<std::string> names;
        for (const pugi::xml_node p : document.child("parameters").children("parameter"))
            names.emplace_back(p.attribute("name").value());
        return names;
    }
    static AirportFile baseFile()
    {
        AirportFile file;
        file.ICAO = "EGLL";
        file.airport_name = "Heathrow";
        file.publisher = "stock";
        file.altitude = 83;
        return file;
    }
};

TEST_F(StandFileTest, GeneratedFileHoldsEveryStandInFull)
{
    AirportFile file = baseFile();
    file.stands.push_back(stand("A1"));
    file.stands.back().opts.push_back(option("", 1));
    Stand heli = stand("H1");
    heli.heli = true;
    heli.manual = true;
    file.stands.push_back(std::move(heli));
    const pugi::xml_document document = writeAndLoad(file, ApfWriteMode::Generated);

    std::vector<std::string> topLevel;
    for (const pugi::xml_node n : document.children())
        topLevel.emplace_back(n.name());
    EXPECT_EQ(topLevel, (std::vector<std::string>{"meta", "parameters", "parkpositions"}));
    EXPECT_EQ(parameterNames(document), (std::vector<std::string>{"airport_name", "publisher", "altitude", "num_parkpos"}));
    EXPECT_EQ(*lf_getIntParameter(document, "altitude"), 83);
    EXPECT_EQ(*lf_getIntParameter(document, "num_parkpos"), 2);

    const pugi::xml_node a1 = document.child("parkpositions").first_child();
    EXPECT_EQ(attributeNames(a1),
              (std::vector<std::string>{"id", "latitude", "longitude", "heading", "radius", "cargo", "ramp"}));
    EXPECT_STREQ(a1.attribute("latitude").value(), "51.500000");
    EXPECT_STREQ(a1.attribute("longitude").value(), "-0.450000");
    EXPECT_STREQ(a1.attribute("heading").value(), "90.0");
    EXPECT_STREQ(a1.attribute("radius").value(), "37.0");
    EXPECT_STREQ(a1.attribute("cargo").value(), "false");
    EXPECT_STREQ(a1.attribute("ramp").value(), "true");
    EXPECT_FALSE(a1.child("opt"));
    const pugi::xml_node h1 = a1.next_sibling();
    EXPECT_EQ(attributeNames(h1),
              (std::vector<std::string>{"id", "latitude", "longitude", "heading", "radius", "heli", "ramp", "manual"}));
}

TEST_F(StandFileTest, LearnedSaveWritesOnlyChangesOptionsAndSettings)
{
    AirportFile file = baseFile();
    file.publisher = "unknown";
    file.BGLpath = "C:\\x.bgl";
    Stand plain = stand("A1");
    plain.opts.push_back(option("", 1));
    plain.opts.push_back(option("", 0)); // given up: never written
    file.stands.push_back(std::move(plain));
    Stand changed = stand("A2");
    changed.radiusChange = true;
    changed.cargoChange = true;
    changed.manual = false;
    file.stands.push_back(std::move(changed));
    Stand manual = stand("M1");
    manual.manual = true;
    file.stands.push_back(std::move(manual));
    MAX_LIVE.value = -1;
    handmadeOverrule = true; // the changed stand still shows only its changes

    const pugi::xml_document document = writeAndLoad(file, ApfWriteMode::LearnedSave);
    EXPECT_EQ(parameterNames(document),
              (std::vector<std::string>{"airport_name", "publisher", "handmade", "altitude", "num_parkpos", "Qf_real",
                                        "Qf_soft", "BGLpath", "LATERAL_RANGE", "AUTO_RANGE", "WEEK", "PARK_FAKE",
                                        "PARK_SOFT", "parking_percentage", "INITIAL_LOAD_ONLY", "MAX_FIT",
                                        "LEARN_SOFT"}));
    const pugi::xml_node a1 = document.child("parkpositions").first_child();
    EXPECT_EQ(std::distance(a1.children("opt").begin(), a1.children("opt").end()), 1);
    const pugi::xml_node a2 = a1.next_sibling();
    EXPECT_EQ(attributeNames(a2), (std::vector<std::string>{"id", "radius_change", "radius", "cargo_change", "cargo"}));
    EXPECT_EQ(attributeNames(a2.next_sibling()).size(), 8u); // manual: in full

    handmadeOverrule = false;
    MAX_LIVE.value = 0;
    file.publisher = "stock";
    const pugi::xml_document second = writeAndLoad(file, ApfWriteMode::LearnedSave);
    EXPECT_EQ(attributeNames(second.child("parkpositions").first_child()), (std::vector<std::string>{"id"}));
    EXPECT_EQ(*lf_getIntParameter(second, "MAX_LIVE"), 0);
    EXPECT_FALSE(lf_getStringParameter(second, "BGLpath"));
    EXPECT_FALSE(lf_getBoolParameter(second, "handmade"));
}

TEST_F(StandFileTest, OptionsRoundTripWithRegistrationsAndCallsignSuffixes)
{
    dbaseTables.DbaseRegcodes["G-EUPT"] = DbaseRegRecord{"BAW", "A319", "SHT", false};
    AirportFile file = baseFile();
    file.stands.push_back(stand("A1"));
    file.stands[0].opts.push_back(option("G-EUPT", 1));
    file.stands[0].opts.push_back(option("G-XXXX", 2));
    file.stands[0].opts[1].csSuffix = "2";
    file.stands[0].opts[1].real = 0;
    file.stands[0].opts[1].hours.reset();
    const pugi::xml_document document = writeAndLoad(file, ApfWriteMode::LearnedSave);
    const pugi::xml_node known = document.child("parkpositions").first_child().first_child();
    EXPECT_EQ(attributeNames(known), (std::vector<std::string>{"reg", "day", "hh", "cs"}));
    EXPECT_STREQ(known.attribute("hh").value(), "10,11");
    const pugi::xml_node unknown = known.next_sibling();
    EXPECT_EQ(attributeNames(unknown), (std::vector<std::string>{"reg", "airl", "type", "soft", "day", "hh", "cs"}));
    EXPECT_STREQ(unknown.attribute("cs").value(), "BAW12:2");
    EXPECT_STREQ(unknown.attribute("hh").value(), "");

    lf_readParkPositions(document.child("parkpositions").first_child(), "A1", 1, "A.xml");
    ASSERT_EQ(standTable.size(), 1u);
    const std::vector<ParkPosOption>& opts = standTable[0].opts;
    ASSERT_EQ(opts.size(), 2u);
    EXPECT_EQ(opts[0].airl, "SHT"); // the operator before the airline
    EXPECT_EQ(opts[0].type, "A319");
    EXPECT_EQ(opts[0].number, 1u);
    EXPECT_EQ(opts[0].fixed, 1u);
    EXPECT_EQ(opts[0].real, 1u);
    EXPECT_EQ(opts[1].airl, "BAW");
    EXPECT_EQ(opts[1].cs, "BAW12");
    EXPECT_EQ(opts[1].csSuffix, "2");
    EXPECT_EQ(opts[1].real, 0u);
    EXPECT_EQ(opts[1].number, 2u);
}

TEST_F(StandFileTest, ReadsAParkposWithMissingAttributes)
{
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string("<parkpos id=\"B7\" latitude=\"1.5\" heading=\"180\" ramp=\"Yes\">"
                                     "<opt cs=\"AB1:x:y\" day=\"2\" hh=\"0,47\" airl=\"ABC\"/></parkpos>"));
    lf_readParkPositions(document.first_child(), "B7", 0, "B.xml");
    ASSERT_EQ(standTable.size(), 1u);
    const Stand& s = standTable[0];
    EXPECT_DOUBLE_EQ(s.lat, 1.5);
    EXPECT_DOUBLE_EQ(s.lon, 0.0);
    EXPECT_DOUBLE_EQ(s.radius, 0.0);
    EXPECT_NEAR(s.heading, 3.141592653589793, 1e-12);
    EXPECT_FALSE(s.cargo);
    EXPECT_FALSE(s.heli);
    EXPECT_TRUE(s.ramp);
    ASSERT_EQ(s.opts.size(), 1u);
    EXPECT_EQ(s.opts[0].cs, "AB1");
    EXPECT_EQ(s.opts[0].csSuffix, "");
    EXPECT_EQ(s.opts[0].type, "");
    EXPECT_EQ(s.opts[0].fixed, 0u);
    EXPECT_TRUE(s.opts[0].hours.test(0) && s.opts[0].hours.test(47));
}

TEST_F(StandFileTest, ParameterGetters)
{
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(airportstest::apfText(
        airportstest::parameterXml("RT_traffic_week", "33") + airportstest::parameterXml("WEEK", "t") +
            airportstest::parameterXml("MAX_LIVE", "-4") + "<parameter name=\"bare\"/>\n",
        "").c_str()));
    EXPECT_EQ(lf_getUintParameter(document), 33u);
    EXPECT_EQ(lf_getBoolParameter(document, "WEEK"), true);
    EXPECT_EQ(lf_getIntParameter(document, "MAX_LIVE"), -4);
    EXPECT_EQ(lf_getIntParameter(document, "bare"), 0);
    EXPECT_EQ(lf_getBoolParameter(document, "bare"), false);
    EXPECT_EQ(lf_getStringParameter(document, "bare"), "");
    EXPECT_FALSE(lf_getIntParameter(document, "missing"));
}

} // namespace
