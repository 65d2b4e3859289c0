// What the rest of the program asks of a read data base: size classes, known codes, wingspans,
// registrations in their written forms, and scenery publishers by package name.

#include "liveries/dbase.h"
#include "liveries/model_classes.h"
#include "liveries/publishers.h"
#include "liveries/registrations.h"
#include "liveries/scan_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::ElementsAre;

class DbaseLookupsTest : public ::testing::Test {
protected:
    void SetUp() override { gf_clearDbaseTables(); }
    void TearDown() override
    {
        gf_clearDbaseTables();
        gf_takeScanMessages();
    }

    DbaseTables& t = dbaseTables;
};

TEST_F(DbaseLookupsTest, SizeClassesFollowTheClassSetsInTheirOrder)
{
    t.LargeModels = {"A320", "DUAL"};
    t.HeavyModels = {"B744", "DUAL"};
    t.BuzjetModels = {"GLF5"};
    t.RotorcraftModels = {"EC35", "HELO"};
    t.HighPerfModels = {"F16", "HELO"};
    EXPECT_EQ(gf_modelSizeClass("A320"), 2);
    EXPECT_EQ(gf_modelSizeClass("B744"), 3);
    EXPECT_EQ(gf_modelSizeClass("GLF5"), 1);
    EXPECT_EQ(gf_modelSizeClass("EC35"), 5);
    EXPECT_EQ(gf_modelSizeClass("F16"), 4);
    EXPECT_EQ(gf_modelSizeClass("DUAL"), 2) << "large before heavy";
    EXPECT_EQ(gf_modelSizeClass("HELO"), 5) << "rotorcraft before high performance";
    EXPECT_EQ(gf_modelSizeClass("C172"), 0);
    EXPECT_EQ(gf_modelSizeClass(""), 0);
}

TEST_F(DbaseLookupsTest, KnownCodesAreNonEmptyMembers)
{
    t.ModelCodes = {"A320"};
    t.IcaoAirlines = {"DLH"};
    EXPECT_TRUE(gf_isKnownModel("A320"));
    EXPECT_FALSE(gf_isKnownModel("A32"));
    EXPECT_FALSE(gf_isKnownModel(""));
    EXPECT_TRUE(gf_isKnownAirline("DLH"));
    EXPECT_FALSE(gf_isKnownAirline("dlh")) << "case-sensitive";
    EXPECT_FALSE(gf_isKnownAirline(""));
    EXPECT_TRUE(lf_stringContainsChar("a_b", '_'));
    EXPECT_FALSE(lf_stringContainsChar("", '_'));
}

TEST_F(DbaseLookupsTest, AWingspanComesFromItsModelElseFromItsClassAverage)
{
    EXPECT_EQ(gf_wingspanOf("A320"), 0.0) << "nothing read yet";
    EXPECT_EQ(gf_maxHalfWingspan(), 0.0);
    t.LargeModels = {"A320", "A321", "B738"};
    t.HeavyModels = {"B744"};
    t.Wingspans = {{"A320", 0.010}, {"A321", 0.012}, {"B744", 0.0174}};
    t.MaxHalfWingspan = 0.0174;
    lf_averageWingspanPerCategory();
    EXPECT_DOUBLE_EQ(gf_wingspanOf("A320"), 0.010);
    EXPECT_DOUBLE_EQ(gf_wingspanOf("B738"), 0.011) << "the large average";
    EXPECT_DOUBLE_EQ(gf_wingspanOf("B748"), (0.010 + 0.012 + 0.0174) / 3) << "light has no own entry: all models";
    EXPECT_DOUBLE_EQ(gf_maxHalfWingspan(), 0.0174);
}

TEST_F(DbaseLookupsTest, RegistrationVariantsAddTheDashesOfBothPrefixLengths)
{
    EXPECT_THAT(gf_regcodeVariants("GABCD"), ElementsAre("GA-BCD", "G-ABCD", "GABCD"));
    EXPECT_THAT(gf_regcodeVariants("N12345"), ElementsAre("N12345"));
    EXPECT_THAT(gf_regcodeVariants("D-ABCD"), ElementsAre("D-ABCD"));
    EXPECT_THAT(gf_regcodeVariants("ABCD"), ElementsAre("ABCD"));
    EXPECT_THAT(gf_regcodeVariants(""), ElementsAre(""));
}

TEST_F(DbaseLookupsTest, ALookupTakesTheFirstWrittenFormThatIsKnown)
{
    t.DbaseRegcodes["G-ABCD"] = {"BAW", "A320", "SHT", false};
    EXPECT_EQ(gf_regcodeAirline("GABCD"), "BAW") << "found at the second written form";
    EXPECT_EQ(gf_regcodeModel("GABCD"), "A320");
    EXPECT_EQ(gf_regcodeOperatorCode("GABCD"), "SHT");
    EXPECT_EQ(gf_regcodeAirline("G-ABCD"), "BAW");
    EXPECT_EQ(gf_regcodeAirline("GABCE"), "");

    t.DbaseRegcodes["GA-BCD"] = {"EZY", "", "", true};
    const std::optional<DbaseRegRecord> record = gf_regcodeLookup("GABCD");
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->airline, "EZY") << "the two-letter prefix is tried first";
    EXPECT_TRUE(record->cargo);
    EXPECT_EQ(gf_regcodeModel("GABCD"), "") << "the record exists but names no model";

    t.DbaseRegcodes[""] = {"XXX", "B744", "", false};
    EXPECT_FALSE(gf_regcodeLookup("").has_value()) << "the empty registration finds nothing";
    EXPECT_EQ(gf_regcodeModel(""), "");
}

TEST_F(DbaseLookupsTest, FindingARecordOverwritesOnlyOnAHit)
{
    t.DbaseRegcodes["D-AIAB"] = {"DLH", "A321", "", false};
    std::optional<DbaseRegRecord> record = DbaseRegRecord{"OLD", "OLD", "OLD", true};
    EXPECT_FALSE(gf_findRegcodeRecord(record, "DAIAB"));
    EXPECT_EQ(record->airline, "OLD");
    EXPECT_TRUE(gf_findRegcodeRecord(record, "D-AIAB"));
    EXPECT_EQ(record->airline, "DLH");
    EXPECT_EQ(record->operatorCode, "");
    EXPECT_FALSE(record->cargo);
    gf_destroyRegcodeRecord(record);
    EXPECT_FALSE(record.has_value());
}

TEST_F(DbaseLookupsTest, APrivateRegistrationIsFoundInATitleWhenShort)
{
    t.DbaseRegcodes["D-EF"] = {"PVT", "C172", "", false};
    t.DbaseRegcodes["D-EFGH"] = {"PVT", "C172", "", false};
    t.DbaseRegcodes["OE-K"] = {"PVTX", "C172", "", false};
    t.DbaseRegcodes[""] = {"PVT", "", "", false};
    EXPECT_EQ(lf_findPvtRegcodeInTitle("Cessna 172 D-EFGH private"), "D-EF");
    EXPECT_EQ(lf_findPvtRegcodeInTitle("Cessna 172 OE-K"), "") << "PVTX is not PVT";
    EXPECT_EQ(lf_findPvtRegcodeInTitle("Cessna 172 d-ef"), "") << "case-sensitive";
    t.DbaseRegcodes.erase("D-EF");
    EXPECT_EQ(lf_findPvtRegcodeInTitle("Cessna 172 D-EFGH"), "") << "5 characters or more never count";
}

TEST_F(DbaseLookupsTest, PublishersAreNamedByTheFirstListWithAMatchingEntry)
{
    gf_takeScanMessages();
    t.Publishers = {{"Alpha", "alp"}, {"Beta", "be"}, {"Dots", "fs.uk"}, {"Paren", "("}};
    for (const bool prepared : {false, true}) { // lists set up directly, and as the data base read leaves them
        if (prepared)
            t.PublisherPatterns = gf_preparePublisherPatterns(t.Publishers);
        EXPECT_EQ(gf_publisherFromName("BeAlpScenery"), "Alpha") << "list order decides";
        EXPECT_EQ(gf_publisherFromName("my_BETA_pack"), "Beta") << "case-insensitive expression";
        EXPECT_EQ(gf_publisherFromName("Gamma"), "unknown");
        EXPECT_EQ(gf_publisherFromName("fsXuk airports"), "Dots") << "'.' keeps its expression meaning";
        EXPECT_EQ(gf_publisherFromName("FSxUK"), "Dots");
        EXPECT_EQ(gf_publisherFromName("fsXuk be"), "Beta") << "a plain text in an earlier list wins over an expression";
        EXPECT_EQ(gf_publisherFromName("scenery (v2)"), "Paren") << "an invalid expression still matches by substring";
        EXPECT_EQ(gf_publisherFromName("scenery v2"), "unknown");
        EXPECT_EQ(gf_publisherFromName("my\nBETA"), "unknown") << "'.*' does not cross a line break";
        EXPECT_EQ(gf_publisherFromName("my\nbeta"), "Beta") << "while a substring still counts";
    }
    EXPECT_TRUE(gf_takeScanMessages().empty());

    EXPECT_EQ(gf_publisherFromName("my_orbx_airport"), "simaddon");
    EXPECT_EQ(gf_publisherFromName("ORBX_YBBN"), "simaddon");
    EXPECT_THAT(gf_takeScanMessages(), ElementsAre("from filename => publisher  simaddon", "from filename => publisher  simaddon"));

    t.Publishers.insert(t.Publishers.begin() + 1, {"Empty", ""});
    EXPECT_EQ(gf_publisherFromName("Gamma"), "Empty") << "an empty alias matches every name that reaches it";
    EXPECT_EQ(gf_publisherFromName("my_beta_pack"), "Empty");
}

TEST_F(DbaseLookupsTest, ANamePatternNeverThrowsNorBacktracks)
{
    EXPECT_TRUE(lf_matchesNamePattern("FlyTampa_EHAM", "tampa"));
    EXPECT_FALSE(lf_matchesNamePattern("FlyTampa_EHAM", "[unclosed"));
    // Numbers beyond a long in a back-reference or a repeat count.
    for (const char* counted : {"(a)\\", "a{", "a{1,"})
        EXPECT_FALSE(lf_matchesNamePattern("FlyTampa_EHAM", counted + std::string(25, '3') + "}")) << counted;
    // A quantifier with nothing to repeat is no valid expression: it matches nothing, whereas a
    // backtracking matcher reads ".**Tampa*.*" and takes longer than the program's life.
    for (const char* nothing : {"*Tampa*", "+Tampa", "Fly(*Tampa)", "Fly|?Tampa", "Tampa**", "Tampa+*", "Tampa{2}*",
                                "^*Tampa", "Tampa???"})
        EXPECT_FALSE(lf_matchesNamePattern("FlyTampa_EHAM", nothing)) << nothing;
    EXPECT_TRUE(lf_matchesNamePattern("FlyTampa_EHAM", "?Tampa")) << "\".*?\" is a lazy \".*\"";

    // Valid expressions on which a backtracking matcher never ends, on names up to the longest
    // path of a scenery folder (32767 UTF-16 units, up to three bytes each in UTF-8).
    struct Row {
        const char* pattern;
        std::string tail;
        bool matches;
    };
    const std::vector<Row> rows{{"(a+)+b", "", false},    {"(a+)+b", "b", true},     {"(a|aa)*c", "", false},
                                {"(.*a){20}x", "", false}, {"(.*a){20}x", "x", true}, {"(a*)*$", "", true},
                                {"^(a?){30}a{30}$", "b", false}};
    for (const std::size_t length : {std::size_t{40}, std::size_t{260}, std::size_t{3 * 32767}}) {
        const std::string name(length, 'a');
        for (const Row& row : rows)
            EXPECT_EQ(lf_matchesNamePattern(name + row.tail, row.pattern), row.matches) << row.pattern << " " << length;
    }
    t.Publishers = {{"FlyTampa", "*Tampa*", "(a+)+b"}, {"Other", "+Tampa"}};
    t.PublisherPatterns = gf_preparePublisherPatterns(t.Publishers);
    EXPECT_EQ(gf_publisherFromName(std::string(3 * 32767, 'a')), "unknown");
    EXPECT_EQ(gf_publisherFromName("D:\\Scenery\\FlyTampa\\EHAM\\AF2_EHAM.bgl"), "FlyTampa");
    EXPECT_EQ(gf_publisherFromName("D:\\Scenery\\x+Tampa\\EHAM.bgl"), "Other") << "a refused alias is still a text";
}

} // namespace
