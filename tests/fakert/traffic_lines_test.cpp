#include "fakert/traffic_lines.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace fakert {
namespace {

// A traffic line whose time stamp field (index 14) holds `stamp`.
std::string lf_line(const std::string& stamp)
{
    return "RTTFC,11231627,34.9619,-116.6734,31174,1088,0,47,493,UAL1136,A319,N832UA,LAX,DEN," + stamp +
           ",X2,,adsb_icao,31174,-1,-1,-1,-1,-1,-1,-1,1088,none,A3,";
}

std::vector<std::string> lf_fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t begin = 0;
    for (std::size_t comma; (comma = line.find(',', begin)) != std::string::npos; begin = comma + 1)
        fields.push_back(line.substr(begin, comma - begin));
    fields.push_back(line.substr(begin));
    return fields;
}

TEST(TrafficLines, CaptureTextKeepsOnlyTrafficLines)
{
    const std::string text = "RTTFC,a,b\r\n{\"ICAO\": \"EDKB\",\"QNH\": \"1013\"}\n\n\r\nRTTFC,c\n  {not weather}\nRTTFC,d";
    EXPECT_EQ(gf_trafficLines(text), (std::vector<std::string>{"RTTFC,a,b", "RTTFC,c", "  {not weather}", "RTTFC,d"}));
}

TEST(TrafficLines, TimeStampField)
{
    struct Case {
        std::string line;
        std::optional<std::int64_t> units;
        int decimals;
    };
    const std::vector<Case> cases{
        {lf_line("1593034598"), 1593034598, 0},
        {lf_line("1645144774.2"), 16451447742, 1},
        {lf_line("0.05"), 5, 2},
        {"RTTFC,1,2,3,4,5,6,7,8,9,10,11,12,13,1593034598", 1593034598, 0}, // last field, no comma
        {lf_line(""), std::nullopt, 0},
        {lf_line("abc"), std::nullopt, 0},
        {lf_line("-5"), std::nullopt, 0},
        {lf_line("12."), std::nullopt, 0},
        {lf_line(".5"), std::nullopt, 0},
        {lf_line("1e9"), std::nullopt, 0},
        {lf_line("1593034598x"), std::nullopt, 0},
        {lf_line("1.1234567890"), std::nullopt, 0},      // more decimals than kept
        {lf_line("1234567890123456789"), std::nullopt, 0}, // too many digits
        {"RTTFC,1,2,3,4,5,6,7,8,9,10,11,12,13", std::nullopt, 0}, // 14 fields only
        {"{\"QNH\": \"1013\"}", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto stamp = gf_lineTimeStamp(c.line);
        ASSERT_EQ(stamp.has_value(), c.units.has_value());
        if (stamp) {
            EXPECT_EQ(stamp->units, *c.units);
            EXPECT_EQ(stamp->decimals, c.decimals);
        }
    }
    EXPECT_DOUBLE_EQ(gf_lineTimeStamp(lf_line("1645144774.25"))->seconds(), 1645144774.25);
}

TEST(TrafficLines, ShiftMovesOnlyTheTimeStamp)
{
    struct Case {
        std::string stamp;
        std::int64_t offsetMs;
        std::string shifted;
    };
    const std::vector<Case> cases{
        {"1593034598", 1000, "1593034599"},
        {"1593034598", 1499, "1593034599"},
        {"1593034598", 1500, "1593034600"},         // halves round away from zero
        {"1593034598", 170'000'000'000, "1763034598"},
        {"1645144774.2", 250, "1645144774.5"},
        {"1645144774.25", 4, "1645144774.25"},      // below the stamp's precision
        {"100.999", 1, "101.000"},                  // the carry keeps the decimals
        {"5.05", 0, "5.05"},
        {"10", -10'000, "0"},
        {"10", -11'000, "10"},                      // before 1970: left as it was
        {"", 1000, ""},
        {"abc", 1000, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stamp + " + " + std::to_string(c.offsetMs));
        EXPECT_EQ(gf_shiftTimeStamp(lf_line(c.stamp), c.offsetMs), lf_line(c.shifted));
    }
    const std::string shortLine = "RTTFC,1,2,3,4,5,6,7,8,9,10,11,12,13";
    EXPECT_EQ(gf_shiftTimeStamp(shortLine, 1000), shortLine);
}

TEST(TrafficLines, ShiftOfRealCaptureLinesKeepsEveryOtherField)
{
    const auto lines = gf_readTrafficFile(testsupport::sharedDataDir() / "traffic" / "documented_samples.rttfc");
    ASSERT_EQ(lines.size(), 2U);
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const auto before = lf_fields(line);
        const auto after = lf_fields(gf_shiftTimeStamp(line, 123'456'789'000));
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            if (i != kTimeStampField) {
                EXPECT_EQ(after[i], before[i]) << "field " << i;
            }
        }
        EXPECT_DOUBLE_EQ(std::stod(after[kTimeStampField]), std::stod(before[kTimeStampField]) + 123'456'789.0);
    }
}

TEST(TrafficLines, RealCapturesReadWithoutWeatherRecords)
{
    struct Case {
        const char* file;
        std::size_t lines;
    };
    for (const Case& c : {Case{"EDKB_landing.rttfc", 11}, Case{"KLAX_20200617_2152Z.rttfc", 3827},
                          Case{"KLAX_20200624_2220Z.rttfc", 25769}}) {
        SCOPED_TRACE(c.file);
        const auto lines = gf_readTrafficFile(testsupport::sharedDataDir() / "traffic" / c.file);
        EXPECT_EQ(lines.size(), c.lines);
        for (const std::string& line : lines) {
            ASSERT_TRUE(line.starts_with("RTTFC,")) << line;
            ASSERT_TRUE(gf_lineTimeStamp(line).has_value()) << line;
        }
    }
    EXPECT_THROW(gf_readTrafficFile(testsupport::sharedDataDir() / "traffic" / "missing.rttfc"), std::runtime_error);
}

TEST(TrafficLines, QnhDatagramCarriesTheValueAsTheClientDoes)
{
    const auto datagram = nlohmann::json::parse(gf_qnhDatagram("1013.2"));
    EXPECT_EQ(datagram.at("QNH"), "1013.2");
    EXPECT_EQ(nlohmann::json::parse(gf_qnhDatagram("2992")).at("QNH"), "2992");
}

} // namespace
} // namespace fakert
