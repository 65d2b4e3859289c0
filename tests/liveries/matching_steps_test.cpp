// The livery matching: which step finds a title at which MATCHING_DEPTH, how cargo, special and
// refused titles are treated, and the differences of a static aircraft.

#include "airports/stand.h"
#include "engine/livery_choice.h"
#include "tables_test_fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class MatchingTest : public tablestest::TablesTest {
protected:
    void SetUp() override
    {
        TablesTest::SetUp();
        RANDOM.value = false;
        LOG.value = true;
        dbaseTables.LargeModels = {"A320", "A321", "B738"};
        dbaseTables.HeavyModels = {"B744"};
        dbaseTables.RotorcraftModels = {"EC35", "EC45"};
    }

    static LiveAc live(const std::string& airline, const std::string& type, const std::string& registration = "",
                       AcCategory category = AcCategory::Large, bool cargo = false)
    {
        AcDescription desc;
        desc.airline = airline;
        desc.type = type;
        desc.callsign = airline + "1";
        desc.registration = registration;
        desc.category = category;
        desc.cargo = cargo ? 1 : 0;
        return LiveAc(StreamPosition{}, desc, 0.0);
    }
    static std::string match(LiveAc ac)
    {
        gf_matchLiveLivery(ac);
        return ac.desc.liveryTitle;
    }
    static std::vector<std::uint64_t> counters() { return {MatchStepCounters.begin(), MatchStepCounters.end()}; }
};

TEST_F(MatchingTest, DepthOneMatchesOnlyByRegistration)
{
    MATCHING_DEPTH.value = 1;
    install({{"BAW", "A320", "BA 320"}, {"BAW", "A320", "BA 320 retro"}});
    mapRegcode("G-EUPA", "BA 320 retro");
    EXPECT_EQ(match(live("BAW", "A320", "GEUPA")), "BA 320 retro") << "a spelling variant of the registration";
    EXPECT_EQ(match(live("BAW", "A320", "G-EUPB")), "");
    EXPECT_THAT(counters(), ElementsAre(1, 0, 0, 0, 0, 0));
    EXPECT_THAT(logText(), HasSubstr(" =1= BA 320 retro"));
}

TEST_F(MatchingTest, AirlineStepsKeepPassengersOutOfFreighters)
{
    MATCHING_DEPTH.value = 2;
    install({{"FDX", "B744", "FedEx 744", true}, {"BAW", "B744", "BA 744"}, {"ZZZ", "C172", "Generic 172"}});
    EXPECT_EQ(match(live("FDX", "B744", "", AcCategory::Heavy)), "") << "a passenger aircraft never gets a cargo livery";
    EXPECT_EQ(match(live("FDX", "B744", "", AcCategory::Heavy, true)), "FedEx 744");
    EXPECT_EQ(match(live("BAW", "B744", "", AcCategory::Heavy, true)), "BA 744") << "cargo falls back to passenger";
    EXPECT_EQ(match(live("PVT", "C172", "", AcCategory::Light)), "Generic 172");
    EXPECT_EQ(match(live("DLH", "C172", "", AcCategory::Light)), "") << "the generic step needs depth 3";
    EXPECT_THAT(counters(), ElementsAre(0, 2, 0, 1, 0, 0));
}

TEST_F(MatchingTest, StepTwoAlsoTriesTheAirlineOfTheRegistrationRecord)
{
    MATCHING_DEPTH.value = 2;
    dbaseTables.DbaseRegcodes["D-ABCD"] = {"TUI", "B738", "TUI", false};
    install({{"TUI", "B738", "TUI 738"}});
    EXPECT_EQ(match(live("XYZ", "B738", "D-ABCD")), "TUI 738");
    EXPECT_EQ(MatchStepCounters[1], 1U);
}

TEST_F(MatchingTest, StepThreeTakesSimilarModelsOfTheSameSizeClass)
{
    MATCHING_DEPTH.value = 3;
    dbaseTables.SimilarGroups = {{"A320", "A321", "B744"}};
    install({{"BAW", "B744", "BA 744"}, {"DLH", "A321", "LH 321"}, {"DLH", "B744", "LH 744"}});
    gf_buildSimilarModelGroups();
    EXPECT_EQ(match(live("DLH", "A320")), "LH 321");
    EXPECT_EQ(match(live("BAW", "A320")), "") << "a heavy model does not stand in for a large one";
    EXPECT_EQ(MatchStepCounters[2], 1U);
}

TEST_F(MatchingTest, OnlySmallAircraftFallThroughToAnyLiveryOfTheirModel)
{
    MATCHING_DEPTH.value = 4;
    dbaseTables.SimilarGroups = {{"EC35", "EC45"}};
    install({{"BAW", "B744", "BA 744"}, {"ADA", "EC45", "ADAC 145"}, {"ZZZ", "A320", "Generic 320"}});
    gf_buildSimilarModelGroups();
    EXPECT_EQ(match(live("DLH", "B744", "", AcCategory::Heavy)), "");
    EXPECT_EQ(match(live("DLH", "A320")), "Generic 320") << "depth 4 tries the generic livery for every class";
    EXPECT_EQ(match(live("DLH", "EC45", "", AcCategory::Rotorcraft)), "ADAC 145");
    EXPECT_EQ(match(live("DLH", "EC35", "", AcCategory::Rotorcraft)), "ADAC 145");
    EXPECT_THAT(counters(), ElementsAre(0, 0, 0, 1, 1, 1));
}

TEST_F(MatchingTest, SpecialTitlesAreReachedOnlyThroughTheirRegistrations)
{
    MATCHING_DEPTH.value = 4;
    install({{"BAW", "A320", "BA A special"}, {"BAW", "A320", "BA B ordinary"}, {"DLH", "A320", "LH special"},
             {"ZZZ", "A320", "Generic 320"}});
    special("BA A special");
    special("LH special");
    mapRegcode("G-SPCL", "BA A special");
    EXPECT_EQ(match(live("BAW", "A320")), "BA B ordinary");
    EXPECT_EQ(match(live("DLH", "A320")), "Generic 320") << "an all-special list yields nothing";
    EXPECT_EQ(match(live("DLH", "A320", "G-SPCL")), "BA A special");

    RANDOM.value = true;
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(match(live("BAW", "A320")), "BA B ordinary");
}

TEST_F(MatchingTest, ARefusedTitleFailsTheWholeMatch)
{
    MATCHING_DEPTH.value = 4;
    install({{"BAW", "A320", "BA broken"}, {"ZZZ", "A320", "Generic 320"}});
    LiveAc refused = live("BAW", "A320");
    refused.desc.liveryTitle = "BA broken";
    gf_registerCreateFailure(refused.desc);
    EXPECT_TRUE(gf_isCreateFailure("BA broken"));
    EXPECT_EQ(match(live("BAW", "A320")), "");
    EXPECT_THAT(counters(), ElementsAre(0, 0, 0, 0, 0, 0));
}

TEST_F(MatchingTest, TheFsltlMarkIsCaseSensitive)
{
    install({{"BAW", "A320", "FSLTL_BAW A320"}, {"DLH", "A320", "fsltl_DLH A320"}});
    LiveAc ba = live("BAW", "A320");
    gf_matchLiveLivery(ba);
    EXPECT_EQ(ba.desc.fsltlFlag, 1);
    LiveAc lh = live("DLH", "A320");
    lh.desc.fsltlFlag = 1;
    gf_matchLiveLivery(lh);
    EXPECT_EQ(lh.desc.fsltlFlag, 0);
}

TEST_F(MatchingTest, AStaticAircraftTakesItsCargoFlagFromItsStand)
{
    MATCHING_DEPTH.value = 3;
    install({{"FDX", "B744", "FedEx 744", true}, {"BAW", "A320", "BA 320"}, {"DLH", "A320", "LH 320"}});
    const Stand cargoStand("C1", {}, {}, 30.0, 0, 1, 1);
    const Stand paxStand("A1", {}, {}, 30.0, 1, 1, 1);

    StaticAc freighter;
    freighter.desc = live("FDX", "B744", "", AcCategory::Heavy).desc;
    EXPECT_TRUE(gf_matchStaticLivery(freighter, cargoStand));
    EXPECT_EQ(freighter.desc.liveryTitle, "FedEx 744");
    EXPECT_EQ(freighter.desc.cargo, 1);

    StaticAc noAirline;
    noAirline.desc = live("", "A320").desc;
    EXPECT_FALSE(gf_matchStaticLivery(noAirline, paxStand)) << "step 2 runs, but no airline has no liveries";
    EXPECT_THAT(logText(), HasSubstr("A1      : 1        ") );
    EXPECT_THAT(logText(), HasSubstr(" no livery match ..."));

    StaticAc titled;
    titled.desc = live("BAW", "A320").desc;
    titled.desc.liveryTitle = "Chosen before";
    EXPECT_TRUE(gf_matchStaticLivery(titled, paxStand));
    EXPECT_EQ(titled.desc.liveryTitle, "Chosen before");
    EXPECT_THAT(logText(), HasSubstr(" =s= Chosen before"));
    EXPECT_THAT(counters(), ElementsAre(0, 0, 0, 0, 0, 0)) << "static matches are not counted";
}

} // namespace
