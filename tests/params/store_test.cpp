// parameters.xml: first creation, reading rules, completion, removal of empty folder keys,
// unreadable files, concurrent saves and the version bookkeeping.

#include "support/params_fixture.h"

#include "core/version.h"
#include "params/parameter_store.h"

#include <array>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <thread>

namespace paramstest {
namespace {

// The value attribute of the first element with that key; nothing when there is none.
std::optional<std::string> lf_storedValue(const fs::path& path, const std::string& key)
{
    pugi::xml_document document;
    if (!document.load_file(path.c_str()))
        return std::nullopt;
    const pugi::xml_node node = document.select_node(gf_parameterQuery(key).c_str()).node();
    if (!node)
        return std::nullopt;
    return std::string(node.attribute("value").value());
}

std::vector<std::string> lf_storedKeys(const fs::path& path)
{
    pugi::xml_document document;
    std::vector<std::string> keys;
    if (!document.load_file(path.c_str()))
        return keys;
    for (const pugi::xml_node node : document.child("parameters").children("parameter"))
        keys.emplace_back(node.attribute("name").value());
    return keys;
}

// An XPath expression's value over the stored file as text ("46" for a count), read afresh.
std::string lf_xpath(const fs::path& file, const std::string& expression)
{
    pugi::xml_document document;
    if (!document.load_file(file.c_str()))
        return "unreadable " + file.string();
    return pugi::xpath_query(expression.c_str()).evaluate_string(document);
}

using StoreTest = ParamsTest;

TEST_F(StoreTest, FirstLoadCreatesTheFileWithEveryDefault)
{
    ASSERT_FALSE(fs::exists(parametersFile()));
    EXPECT_EQ(parametersFile(), folder.path() / "config" / "Orvanta_P3D" / "parameters.xml");
    gf_loadParameters();

    // 46 stored settings, lists A to F without the twenty folder keys.
    EXPECT_EQ(lf_xpath(parametersFile(), "count(/parameters/parameter)"), "46");
    EXPECT_EQ(lf_xpath(parametersFile(), "string(/parameters/parameter[@name='PORT_NUMBER']/@value)"), "10747");
    EXPECT_EQ(lf_xpath(parametersFile(), "string(/parameters/parameter[@name='PROGRAM_VERSION']/@value)"),
              gf_versionText(g_programVersion));
    EXPECT_EQ(lf_xpath(parametersFile(), "string(/parameters/parameter[1]/@name)"), "RANDOM");
    EXPECT_EQ(lf_xpath(parametersFile(), "string(/parameters/parameter[last()]/@name)"), "BLOCK_CALLSIGN");
    EXPECT_EQ(lf_xpath(parametersFile(), "count(/parameters/parameter[starts-with(@name,'lfolder')])"), "0");

    const std::vector<std::string> keys = lf_storedKeys(parametersFile());
    const ParameterLists lists = gf_persistedParameters();
    std::size_t i = 0;
    for (const auto* p : lists.bools)
        EXPECT_EQ(keys.at(i++), p->name);
    for (const auto* p : lists.checkBoxes) {
        EXPECT_EQ(keys.at(i), p->name);
        EXPECT_EQ(lf_storedValue(parametersFile(), keys.at(i++)), p->defaultValue ? "true" : "false");
    }
    for (const auto* p : lists.ints) {
        EXPECT_EQ(keys.at(i), p->name);
        EXPECT_EQ(lf_storedValue(parametersFile(), keys.at(i++)), fmt::format("{}", p->defaultValue));
    }
    for (const auto* p : lists.intBoxes)
        EXPECT_EQ(keys.at(i++), p->name);

    const std::string log = logText();
    EXPECT_NE(log.find(g_parametersFile + " not found, default values taken:"), std::string::npos);
    EXPECT_NE(log.find("\n\n********************************** parameters **********************************\n"),
              std::string::npos);
    EXPECT_NE(log.find("\n" + std::string(80, '*') + "\n\n"), std::string::npos);
    EXPECT_DOUBLE_EQ(g_trafficRangeNm.load(), 40.0);
    EXPECT_EQ(g_trafficRangeM.load(), 74080);
}

TEST_F(StoreTest, ReadingRulesForBoolsIntegersAndTexts)
{
    writeParameters(R"(<parameter name="RANDOM" value="Yes"/>
<parameter name="AEROWINX" value="yes"/>
<parameter name="AFG_AUTOMATIC" value="1"/>
<parameter name="COLLISION_USER_AIR" value="T"/>
<parameter name="COLLISION_USER_GND" value="no"/>
<parameter name="COLLISION_LIVE_PARKED_GND" value="true"/>
<parameter name="SUPPRESS_STUB" value=""/>
<parameter name="LOG" value=" true"/>
<parameter name="ALWAYS_ON_TOP"/>
<parameter name="SCAN_LIVERIES" value="0"/>
<parameter name="LATERAL_RANGE" value="500"/>
<parameter name="MATCHING_DEPTH" value="abc"/>
<parameter name="MAX_LIVE" value="-7"/>
<parameter name="AIRPORT_RANGE"/>
<parameter name="P3D_VERSION" value="4"/>
<parameter name="MAIN_WINDOW_X" value="-123"/>
<parameter name="PORT_NUMBER" value="49003"/>
<parameter name="SIM_INSTALL_PATH"/>
<parameter name="BLOCK_CALLSIGN" value="DLH4"/>
<parameter name="DESTINATION" value="EDDF"/>
<parameter name="DESTINATION" value="EGLL"/>
)");
    gf_loadParameters();

    EXPECT_TRUE(RANDOM.value);
    EXPECT_TRUE(AEROWINX.value);
    EXPECT_TRUE(AFG_AUTOMATIC.value);
    EXPECT_TRUE(COLLISION_USER_AIR.value);
    EXPECT_FALSE(COLLISION_USER_GND.value);
    EXPECT_TRUE(COLLISION_LIVE_PARKED_GND.value);
    EXPECT_FALSE(SUPPRESS_STUB.value);
    EXPECT_FALSE(LOG.value);
    EXPECT_FALSE(ALWAYS_ON_TOP.value);
    EXPECT_FALSE(SCAN_LIVERIES.value);

    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);
    EXPECT_DOUBLE_EQ(g_trafficRangeNm.load(), 100.0);
    EXPECT_EQ(g_trafficRangeM.load(), 185200);
    EXPECT_EQ(MATCHING_DEPTH.value.load(), 1); // "abc" converts to 0, below the range
    EXPECT_EQ(MAX_LIVE.value.load(), -1);
    EXPECT_EQ(AIRPORT_RANGE.value.load(), 20); // no value: the default
    EXPECT_EQ(P3D_VERSION.value.load(), 5);
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), -123);
    EXPECT_EQ(PORT_NUMBER.getValue(), "49003");
    EXPECT_EQ(SIM_INSTALL_PATH.getValue(), "");
    EXPECT_EQ(BLOCK_CALLSIGN.getValue(), "DLH4");
    EXPECT_EQ(DESTINATION.getValue(), "EDDF"); // the first of two counts

    // A value limited while reading is not written back.
    EXPECT_EQ(lf_storedValue(parametersFile(), "LATERAL_RANGE"), "500");
    EXPECT_EQ(lf_storedValue(parametersFile(), "P3D_VERSION"), "4");
    EXPECT_NE(logText().find("LATERAL_RANGE=100\n"), std::string::npos);

    // Saving a key held twice changes the first element.
    DESTINATION.value = "LFPG";
    gf_saveStringParameter(DESTINATION);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(parametersFile().c_str()));
    const pugi::xpath_node_set both = document.select_nodes(gf_parameterQuery("DESTINATION").c_str());
    ASSERT_EQ(both.size(), 2u);
    EXPECT_STREQ(both[0].node().attribute("value").value(), "LFPG");
    EXPECT_STREQ(both[1].node().attribute("value").value(), "EGLL");

    // An element without a value gets one at the next save.
    AIRPORT_RANGE.setValue(25);
    gf_saveIntParameter(AIRPORT_RANGE);
    EXPECT_EQ(lf_storedValue(parametersFile(), "AIRPORT_RANGE"), "25");
}

TEST_F(StoreTest, MissingSettingsAreAddedAtTheEnd)
{
    writeParameters("<parameter name=\"LATERAL_RANGE\" value=\"25\"/>\n<other/>\n");
    gf_loadParameters();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    const std::vector<std::string> keys = lf_storedKeys(parametersFile());
    ASSERT_EQ(keys.size(), 46u);
    EXPECT_EQ(keys.front(), "LATERAL_RANGE");
    EXPECT_EQ(keys[1], "RANDOM");
    EXPECT_EQ(lf_storedValue(parametersFile(), "MAX_FIT"), "47");
    EXPECT_EQ(lf_storedValue(parametersFile(), "PORT_NUMBER"), "10747");
    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(parametersFile().c_str()));
    EXPECT_TRUE(document.child("parameters").child("other")); // foreign elements stay
    EXPECT_NE(logText().find("from \"" + g_parametersFile + "\""), std::string::npos);
}

TEST_F(StoreTest, EmptyFolderKeysAreRemovedAndAbsentOnesNotAdded)
{
    writeParameters(R"(<parameter name="lfolder2" value="D:\AI\extra"/>
<parameter name="lfolder3" value=""/>
<parameter name="afolder9" value=""/>
<parameter name="afolder1" value="E:\scenery"/>
)");
    gf_loadParameters();
    EXPECT_EQ(lfolder2.getValue(), "D:\\AI\\extra");
    EXPECT_EQ(afolder1.getValue(), "E:\\scenery");
    EXPECT_EQ(lfolder3.getValue(), "");
    const std::vector<std::string> keys = lf_storedKeys(parametersFile());
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "lfolder2"), 1);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "afolder1"), 1);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "lfolder3"), 0);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "afolder9"), 0);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "lfolder0"), 0);
    const std::string log = logText();
    EXPECT_NE(log.find("Parameter lfolder3 removed\n"), std::string::npos);
    EXPECT_NE(log.find("Parameter afolder9 removed\n"), std::string::npos);
    EXPECT_EQ(log.find("lfolder0"), std::string::npos);
    EXPECT_NE(log.find("lfolder2=D:\\AI\\extra\n"), std::string::npos);
}

TEST_F(StoreTest, UnreadableFileIsKeptAsBadBeforeDefaultsAreWritten)
{
    const std::string broken = "<?xml version=\"1.0\"?>\n<parameters>\n<parameter name=\"lfolder0\" value=\"D:\\AI\"/>\n<param";
    testsupport::writeFile(parametersFile(), broken);
    fs::path bad = parametersFile();
    bad += ".bad";
    testsupport::writeFile(bad, "an older unreadable file");

    gf_loadParameters();
    EXPECT_EQ(testsupport::readFile(bad), broken);
    EXPECT_EQ(lf_storedKeys(parametersFile()).size(), 46u);
    EXPECT_EQ(lfolder0.getValue(), "");
    const std::string log = logText();
    EXPECT_NE(log.find(fmt::format("{} could not be read", g_parametersFile)), std::string::npos);
    EXPECT_NE(log.find(fmt::format("kept as {}", bad.string())), std::string::npos);
}

TEST_F(StoreTest, FileWithoutParametersRootIsKeptAsBad)
{
    testsupport::writeFile(parametersFile(), "<?xml version=\"1.0\"?>\n<settings/>\n");
    gf_loadParameters();
    fs::path bad = parametersFile();
    bad += ".bad";
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_EQ(lf_xpath(parametersFile(), "count(/parameters/parameter)"), "46");
}

TEST_F(StoreTest, SettingsStayInTheWorkingFolderWhenThePerUserFolderCannotBeMade)
{
    testsupport::writeFile(folder / "plain-file", "");
    testsupport::ScopedAppDataFolder unusable(folder / "plain-file" / "config");
    gf_initAppDataFolder();
    EXPECT_EQ(parametersFile(), fs::path("Orvanta_P3D") / "parameters.xml");
    gf_loadParameters();
    LATERAL_RANGE.setValue(33);
    gf_saveIntParameter(LATERAL_RANGE);
    EXPECT_EQ(lf_storedValue(folder / "Orvanta_P3D" / "parameters.xml", "LATERAL_RANGE"), "33");
    EXPECT_NE(logText().find("===> the per-user data folder cannot be made, settings are kept in Orvanta_P3D\n"),
              std::string::npos);
}

TEST_F(StoreTest, APerUserFolderNamedWithLettersOutsideAsciiKeepsTheSettings)
{
    const fs::path user = folder / fs::path(u8"J\u00f6rg M\u00fcller \u00df \u5c71\u7530") / "AppData";
    testsupport::ScopedAppDataFolder named(user);
    gf_initAppDataFolder();
    gf_loadParameters();
    LATERAL_RANGE.setValue(33);
    gf_saveIntParameter(LATERAL_RANGE);
    EXPECT_EQ(lf_storedValue(user / "Orvanta_P3D" / "parameters.xml", "LATERAL_RANGE"), "33");
    LATERAL_RANGE.setValue(1);
    gf_loadParameters();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 33);
}

TEST_F(StoreTest, SingleSaveWithoutFileWritesThatSettingAlone)
{
    WEEK.value = true;
    gf_saveBoolParameter(WEEK);
    EXPECT_EQ(lf_storedKeys(parametersFile()), (std::vector<std::string>{"WEEK"}));
    EXPECT_EQ(lf_storedValue(parametersFile(), "WEEK"), "true");
    EXPECT_NE(logText().find("WEEK=true\n"), std::string::npos);

    // The next load completes it and keeps the saved value.
    WEEK.value = false;
    gf_loadParameters();
    EXPECT_TRUE(WEEK.value);
    EXPECT_EQ(lf_storedKeys(parametersFile()).size(), 46u);
}

TEST_F(StoreTest, SingleSavesChangeOneElement)
{
    gf_loadParameters();
    const std::vector<std::string> before = lf_storedKeys(parametersFile());
    MAX_LIVE.setValue(120);
    gf_saveIntParameter(MAX_LIVE);
    gf_setParameterString(SIM_INSTALL_PATH, "C:\\P3D v5 & \"more\"");
    EXPECT_EQ(lf_storedKeys(parametersFile()), before);
    EXPECT_EQ(lf_storedValue(parametersFile(), "MAX_LIVE"), "120");
    EXPECT_EQ(lf_storedValue(parametersFile(), "SIM_INSTALL_PATH"), "C:\\P3D v5 & \"more\"");
    gf_setParameterString(lfolder4, "F:\\liveries");
    EXPECT_EQ(lf_storedKeys(parametersFile()).back(), "lfolder4");
}

TEST_F(StoreTest, ConcurrentSavesKeepEverySetting)
{
    gf_loadParameters();
    constexpr int kSaves = 1000;
    std::thread gui([] {
        for (int i = 1; i <= kSaves; ++i) {
            MAIN_WINDOW_X.setValue(i);
            gf_saveIntParameter(MAIN_WINDOW_X);
        }
    });
    std::thread work([] {
        for (int i = 1; i <= kSaves; ++i) {
            BLOCK_CALLSIGN.value = fmt::format("CS{}", i);
            gf_saveStringParameter(BLOCK_CALLSIGN);
        }
    });
    gui.join();
    work.join();
    EXPECT_EQ(lf_xpath(parametersFile(), "count(/parameters/parameter)"), "46");
    EXPECT_EQ(lf_storedValue(parametersFile(), "MAIN_WINDOW_X"), fmt::format("{}", kSaves));
    EXPECT_EQ(lf_storedValue(parametersFile(), "BLOCK_CALLSIGN"), fmt::format("CS{}", kSaves));
    fs::path bad = parametersFile();
    bad += ".bad";
    EXPECT_FALSE(fs::exists(bad));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(parametersFile().parent_path()), fs::directory_iterator()), 1);
}

TEST_F(StoreTest, LoadShowsTheValuesInTheControls)
{
    ASSERT_TRUE(gf_createCheckBox(WEEK, 71));
    ASSERT_TRUE(gf_createCheckBox(LOG, 652));
    ASSERT_TRUE(gf_createEditBox(LATERAL_RANGE, 217, 34));
    ASSERT_TRUE(gf_createEditBox(BLOCK_CALLSIGN, 217, 100));
    ASSERT_TRUE(gf_createEditBox(DESTINATION, 217, 50));
    writeParameters(R"(<parameter name="WEEK" value="true"/>
<parameter name="LOG" value="false"/>
<parameter name="LATERAL_RANGE" value="55"/>
<parameter name="BLOCK_CALLSIGN" value="BAW1"/>
<parameter name="DESTINATION" value="EDDF"/>
)");
    gf_loadParameters();
    EXPECT_TRUE(port.find(WEEK.controlId)->checked);
    EXPECT_FALSE(port.find(LOG.controlId)->checked);
    EXPECT_EQ(port.find(LATERAL_RANGE.controlId)->text, "55");
    EXPECT_EQ(port.find(BLOCK_CALLSIGN.controlId)->text, "BAW1");
    // The destination box is written by the start-up, not by the load.
    EXPECT_EQ(port.find(DESTINATION.controlId)->text, "");
}

TEST_F(StoreTest, VersionUpdateAsksForNewScans)
{
    ASSERT_TRUE(gf_createCheckBox(SCAN_LIVERIES, 5));
    ASSERT_TRUE(gf_createCheckBox(SCAN_AIRPORTS, 5));
    writeParameters(R"(<parameter name="PROGRAM_VERSION" value="10.9.7"/>
<parameter name="SCAN_LIVERIES" value="false"/>
<parameter name="SCAN_AIRPORTS" value="false"/>
)");
    testsupport::writeFile(g_installerFile, "old installer");
    gf_loadParameters();
    EXPECT_NE(logText().find("This is a version update from 10.9.7 -> 10.9.8\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(g_installerFile));
    EXPECT_TRUE(SCAN_LIVERIES.value);
    EXPECT_TRUE(SCAN_AIRPORTS.value);
    EXPECT_TRUE(port.find(SCAN_LIVERIES.controlId)->checked);
    EXPECT_TRUE(port.find(SCAN_AIRPORTS.controlId)->checked);
    EXPECT_EQ(lf_storedValue(parametersFile(), "SCAN_LIVERIES"), "true");
    EXPECT_EQ(lf_storedValue(parametersFile(), "SCAN_AIRPORTS"), "true");
    EXPECT_EQ(lf_storedValue(parametersFile(), "PROGRAM_VERSION"), "10.9.8");
}

TEST_F(StoreTest, NewerStoredVersionIsOnlyOverwritten)
{
    writeParameters(R"(<parameter name="PROGRAM_VERSION" value="10.9.9"/>
<parameter name="SCAN_LIVERIES" value="false"/>
)");
    testsupport::writeFile(g_installerFile, "kept");
    gf_loadParameters();
    EXPECT_EQ(lf_storedValue(parametersFile(), "PROGRAM_VERSION"), "10.9.8");
    EXPECT_FALSE(SCAN_LIVERIES.value);
    EXPECT_TRUE(fs::exists(g_installerFile));
    EXPECT_EQ(logText().find("version update"), std::string::npos);
}

TEST_F(StoreTest, ParametersDocumentForTheWindowPosition)
{
    writeParameters("<parameter name=\"MAIN_WINDOW_X\" value=\"40000\"/>\n");
    pugi::xml_document document;
    ASSERT_TRUE(gf_loadParametersDocument(document));
    EXPECT_TRUE(gf_readIntParameter(MAIN_WINDOW_X, document, false));
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 30000);
    EXPECT_FALSE(gf_readIntParameter(MAIN_WINDOW_Y, document, false));
    EXPECT_EQ(MAIN_WINDOW_Y.value.load(), 20);
    EXPECT_EQ(logText().find("MAIN_WINDOW_X"), std::string::npos);
}

TEST(ParameterQuery, SelectsTheSettingElement)
{
    EXPECT_EQ(gf_parameterQuery("LATERAL_RANGE"), "/parameters/parameter[@name='LATERAL_RANGE']");
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("parameters");
    EXPECT_TRUE(gf_appendBoolParameter(root, "B", true));
    EXPECT_TRUE(gf_appendIntParameter(root, "I", -42));
    EXPECT_TRUE(gf_appendStringParameter(root, "S", "a<b"));
    EXPECT_STREQ(document.select_node(gf_parameterQuery("B").c_str()).node().attribute("value").value(), "true");
    EXPECT_STREQ(document.select_node(gf_parameterQuery("I").c_str()).node().attribute("value").value(), "-42");
    EXPECT_STREQ(document.select_node(gf_parameterQuery("S").c_str()).node().attribute("value").value(), "a<b");
    EXPECT_FALSE(gf_appendBoolParameter(pugi::xml_node(), "X", false));
}

} // namespace
} // namespace paramstest
