// aircraft.cfg into livery records: key lines, section numbering and the section rules.

#include "core/scan_throttle.h"
#include "core/windows_glue.h"
#include "liveries/aircraft_cfg.h"
#include "scan_test_fixture.h"

#include <algorithm>
#include <thread>

namespace {

using scantest::ScanTest;

TEST(AircraftCfgKeys, KeyLinesAndHeaders)
{
    std::string value = "unchanged";
    EXPECT_TRUE(lf_readKeyTitle("  Title =  Boeing 737 [note]  ", value));
    EXPECT_EQ(value, "Boeing 737 [note]");
    EXPECT_FALSE(lf_readKeyTitle("title=   ", value));
    EXPECT_FALSE(lf_readKeyTitle("titles=x", value));
    EXPECT_FALSE(lf_readKeyTitle("//title=x", value));
    EXPECT_EQ(value, "Boeing 737 [note]");
    EXPECT_TRUE(lf_readKeyParkingCodes("ATC_PARKING_CODES=DLHX, BAW", value));
    EXPECT_EQ(value, "DLHX");
    EXPECT_TRUE(lf_readKeyParkingCodes("atc_parking_codes=,BAW", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(lf_readKeyAtcModel("\tatc_model = B738\r"), "B738");
    EXPECT_EQ(lf_readKeyAtcModel("atc_model_x=B738"), "");
    // A very long line is read like any other (a recursive pattern matcher would overflow the stack).
    EXPECT_TRUE(lf_readKeyTitle("title=" + std::string(1'000'000, 'x') + " ", value));
    EXPECT_EQ(value.size(), 1'000'000u);

    EXPECT_EQ(lf_readFltSimHeader("[fltsim.12]"), "12");
    EXPECT_EQ(lf_readFltSimHeader("  [FLTSIM.0]  "), "0");
    EXPECT_EQ(lf_readFltSimHeader("//[fltsim.0]"), "");
    EXPECT_EQ(lf_readFltSimHeader("[fltsim.1] // old"), "10000");
    EXPECT_EQ(lf_readFltSimHeader("[fltsim.a]"), "10000");
    EXPECT_EQ(lf_readFltSimHeader("[FltSim.x]"), ""); // only the two usual spellings count as malformed
    EXPECT_EQ(lf_readFltSimHeader("[General]"), "");
}

// One fixture type for the suite, which scan_aircraft_cfg_linux_test.cpp shares.
using AircraftCfgTest = ScanTest;

TEST_F(AircraftCfgTest, NumbersMustRunFromZeroWithoutGaps)
{
    const auto check = [](std::vector<std::string> lines) { return lf_checkFltSimNumbers(lines, "f.cfg"); };
    EXPECT_TRUE(check({"[fltsim.0]", "[fltsim.2]", "[fltsim.1]"}));
    EXPECT_FALSE(check({"[fltsim.1]", "[fltsim.2]"}));
    EXPECT_FALSE(check({"[fltsim.0]", "[fltsim.0]"}));
    EXPECT_FALSE(check({"[fltsim.0]", "[fltsim.1] ;comment"}));
    EXPECT_FALSE(check({"[fltsim.0]", "[fltsim.99999999999]"}));
    EXPECT_TRUE(check({"[General]", "//[fltsim.0]"}));
    EXPECT_EQ(lines(invalidAircraftCfgFiles.lines),
              (std::vector<std::string>{"f.cfg contains non-consecutive [fltsim.x] numbers at .x=1",
                                        "f.cfg contains non-consecutive [fltsim.x] numbers at .x=0",
                                        "f.cfg contains a [fltsim.] section without a number"}));
    EXPECT_EQ(lines(emptyAircraftCfgFiles.lines), std::vector<std::string>{"f.cfg"});
    EXPECT_NE(logText().find("===> fltsim num [fltsim.99999999999] incorrect"), std::string::npos);
}

TEST_F(AircraftCfgTest, SectionsPassOrFailTheirRules)
{
    dbaseTables.IcaoAirlines = {"DLH", "BAW", "ZZZ"};
    dbaseTables.DbaseRegcodes["G-EUPA"] = {"BAW", "A319", "", false};
    dbaseTables.DbaseRegcodes["D-EF"] = {"PVT", "C172", "", false};
    dbaseTables.DbaseRegcodes["D-NOAIRL"] = {"", "A320", "", false};
    titlesNotToUse = {"Unwanted"};
    const std::string keys = "sim=a\nmodel=\ntexture=\n";
    const std::filesystem::path cfg = aircraft("ai/b738", "[General]\natc_model=B738\n"
        "[fltsim.0]\ntitle=Lufthansa cargo\n" + keys + "atc_parking_codes=DLHX, BAW\natc_parking_types=gate,cargo\natc_id=D-ABCD;old\n\n//end\n"
        "[fltsim.1]\ntitle=Ranger [old]\n" + keys + "atc_parking_codes=RFO\n"
        "[fltsim.2]\ntitle=Private D-EF\n" + keys + "atc_parking_codes=XYZ\n"
        "[fltsim.3]\ntitle=Lufthansa cargo\n" + keys + "atc_parking_codes=DLH\n"
        "[fltsim.4]\ntitle=No texture\nsim=a\nmodel=\ntexture=gone\natc_parking_codes=DLH\n"
        "[fltsim.5]\ntitle=Generic\n" + keys + "atc_parking_codes=ZZZ\natc_id=D-AAAA\n"
        "[fltsim.6]\ntitle=Unwanted\n" + keys + "atc_parking_codes=DLH\n"
        "[fltsim.7]\ntitle=Twice\n" + keys + "atc_id=D-ABCD\n//atc_id=D-ABCE\natc_parking_codes=DLH\n"
        "[fltsim.8]\ntitle=By registration\n" + keys + "atc_id=GEUPA\n"
        "[fltsim.9]\ntitle=Two registrations\n" + keys + "atc_parking_codes=DLH\natc_id=D-AAAA, D-AAAB\n"
        "[fltsim.10]\n" + keys + "atc_parking_codes=DLH\n"
        "[fltsim.11]\ntitle=Register without airline\n" + keys + "atc_id=D-NOAIRL\n"
        "[fltsim.12]\n[General]\ntitle=Not in a section\n"
        "[fltsim.13]\ntitle=Cut" + std::string(1, '\0') + "short\n" + keys + "atc_parking_codes=DLH\n"
        "[fltsim.14]\ntitle=Cargo code\n" + keys + "atc_parking_codes=DLHC\n"
        "[fltsim.15]\ntitle=Wild\n" + keys + "atc_parking_codes=DLH\natc_id=D-AB*\n"
        // A '[' further right than column 5 stays in the section; one at column 5 ends it.
        "[fltsim.16]\ntitle=[Old] Jet\n" + keys + "atc_parking_codes=DLH\n     [note]\natc_id=D-ABCF\n"
        "[fltsim.17]\ntitle=Long registration\n" + keys + "atc_parking_codes=DLH\natc_id=ABCDEFGHIJKLM\n");

    const std::int32_t running = g_scanTasksRunning.load();
    const std::list<qmx::LiveryData> result = lf_searchLiveriesinFile(4, cfg);
    EXPECT_EQ(g_scanTasksRunning.load(), running - 1);

    std::vector<std::string> got;
    for (const qmx::LiveryData& l : result)
        got.push_back(l.title + "|" + l.airline + "|" + l.model + "|" + l.atcid + "|" + (l.cargo ? "cargo" : "pax") +
                      "|" + std::to_string(l.priority));
    EXPECT_EQ(got, (std::vector<std::string>{"Lufthansa cargo|DLH|B738|D-ABCD|cargo|4", "Private D-EF|PVT|B738|D-EF|pax|4",
                                             "Generic|ZZZ|B738||pax|4", "By registration|BAW|B738|GEUPA|pax|4",
                                             "Two registrations|DLH|B738||pax|4",
                                             "Register without airline|PVT|B738|D-NOAIRL|pax|4",
                                             "Cargo code|DLH|B738||pax|4", "Wild|DLH|B738||pax|4",
                                             "[Old] Jet|DLH|B738||pax|4", "Long registration|DLH|B738||pax|4"}));
    EXPECT_NE(logText().find("===> Wild D-AB* wild cards no longer supported, atc_id skipped \n"), std::string::npos);
    EXPECT_NE(logText().find("regcode: ABCDEFGHIJKLM, has more than 12 chars or contains UTF16 chars in \"Long "
                             "registration\"?\n"),
              std::string::npos);
    const std::string folder = cfg.parent_path().string();
    std::vector<std::string> rejected = lines(incompleteFltsimSections.lines);
    std::sort(rejected.begin(), rejected.end());
    EXPECT_EQ(rejected, (std::vector<std::string>{
                            folder + " [fltsim.10] misses title",
                            folder + " [fltsim.13] title holds a NUL character",
                            folder + " [fltsim.3] title \"Lufthansa cargo\" already exists",
                            folder + ", [fltsim.7], has more than one atc_id key",
                            (std::filesystem::path(folder) / ".air").string() + " [fltsim.12] does not exist",
                            (std::filesystem::path(folder) / "texture.gone").string() + " [fltsim.4] does not exist",
                        }));
    EXPECT_EQ(lines(invalidAirlineCodes.lines),
              std::vector<std::string>{"XYZ          in " + cfg.string() + " [fltsim.2]"});
}

TEST_F(AircraftCfgTest, AFileWithWindowsLineEndsReadsAlikeInEveryEncoding)
{
    dbaseTables.IcaoAirlines = {"DLH"};
    // A section that ends in a comment and a blank line: both go before the rules are applied.
    const std::u16string text = u"[General]\r\natc_model=B738\r\n[fltsim.0]\r\ntitle=Lufthansa \u00C4\r\nsim=a\r\n"
                                u"model=\r\ntexture=\r\natc_parking_codes=DLH\r\natc_id=D-ABCD\r\n//atc_id=D-ABCE\r\n\r\n";
    std::string little = "\xFF\xFE";
    std::string big = "\xFE\xFF";
    for (const char16_t c : text) {
        little += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        big += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    const std::string utf8 = gf_utf16ToUtf8(text);
    for (const std::string& bytes : {utf8, "\xEF\xBB\xBF" + utf8, little, big}) {
        const std::filesystem::path cfg = aircraft("enc", "");
        testsupport::writeFile(cfg, bytes);
        lf_clearScanCollections();
        const std::list<qmx::LiveryData> result = lf_searchLiveriesinFile(1, cfg);
        ASSERT_EQ(result.size(), 1U) << testing::PrintToString(lines(incompleteFltsimSections.lines));
        EXPECT_EQ(result.front().title, "Lufthansa \xC3\x84");
        EXPECT_EQ(result.front().atcid, "D-ABCD");
    }
}

TEST_F(AircraftCfgTest, LargeAirlinersNeedAnAirline)
{
    dbaseTables.HeavyModels = {"B744"};
    dbaseTables.LargeModels = {"A320"};
    const std::string keys = "sim=a\nmodel=\ntexture=\n";
    const std::string sections = "[fltsim.0]\ntitle=No codes\n" + keys + "[fltsim.1]\ntitle=Old\n" + keys + "atc_id=X-OLD\n";
    EXPECT_TRUE(lf_searchLiveriesinFile(1, aircraft("heavy", "atc_model=B744\n" + sections)).empty());
    const std::string folder = std::filesystem::path("heavy").string();
    EXPECT_EQ(lines(incompleteFltsimSections.lines),
              (std::vector<std::string>{"\"" + folder + "\" \"[fltsim.0]\" has no airline and no regcode info",
                                        "\"" + folder + "\" \"[fltsim.1]\" has no airline and its regcode is not in my dbase (very old liv?)"}));
    lf_clearScanCollections();
    EXPECT_EQ(titles(lf_searchLiveriesinFile(1, aircraft("small", "atc_model=C172\n" + sections))),
              (std::vector<std::string>{"No codes", "Old"}));
}

TEST_F(AircraftCfgTest, AFileWithoutTypeOrSectionsGivesNoLiveries)
{
    const std::int32_t running = g_scanTasksRunning.load();
    EXPECT_TRUE(lf_searchLiveriesinFile(1, aircraft("a", "[fltsim.0]\ntitle=t\nsim=a\n")).empty());
    EXPECT_TRUE(lf_searchLiveriesinFile(1, aircraft("b", "[General]\natc_model=B738\n")).empty());
    EXPECT_TRUE(lf_searchLiveriesinFile(1, "missing/aircraft.cfg").empty());
    EXPECT_EQ(g_scanTasksRunning.load(), running - 3);
    EXPECT_EQ(lines(emptyAircraftCfgFiles.lines), std::vector<std::string>{(std::filesystem::path("b") / "aircraft.cfg").string()});
}

TEST_F(AircraftCfgTest, TasksReadingOneFileAtOnceShareItsTitles)
{
    dbaseTables.IcaoAirlines = {"DLH"};
    std::string cfg = "atc_model=B738\n";
    for (int i = 0; i < 20; ++i)
        cfg += "[fltsim." + std::to_string(i) + "]\ntitle=t" + std::to_string(i) + "\nsim=a\natc_parking_codes=DLH\n";
    const std::filesystem::path file = aircraft("shared", cfg);

    constexpr int kTasks = 4;
    std::vector<std::list<qmx::LiveryData>> results(kTasks);
    g_scanTasksRunning += kTasks;
    std::vector<std::thread> tasks;
    for (int t = 0; t < kTasks; ++t)
        tasks.emplace_back([&results, &file, t] { results[t] = lf_searchLiveriesinFile(t + 1, file); });
    for (std::thread& task : tasks)
        task.join();

    std::vector<std::string> all;
    for (const auto& result : results)
        for (const std::string& title : titles(result))
            all.push_back(title);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.size(), 20u);
    EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
    EXPECT_EQ(incompleteFltsimSections.lines.size(), 60u);
    EXPECT_EQ(g_scanTasksRunning.load(), 0);
}

} // namespace
