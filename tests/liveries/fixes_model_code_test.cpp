// Model codes of aircraft.cfg files and IVAO folders checked and fixed against the data base.

#include "liveries/model_code_fixes.h"
#include "scan_test_fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class ModelFixTest : public scantest::ScanTest {
protected:
    void SetUp() override
    {
        ScanTest::SetUp();
        dbaseTables.ModelCodes = {"A320", "B738", "GLID", "T154", "b738"};
        dbaseTables.ModelFixes = {{"B737-800", "B738"}};
    }
};

TEST_F(ModelFixTest, AtcModelIsTakenFixedOrRejected)
{
    const std::filesystem::path file = "ai/x/aircraft.cfg";
    EXPECT_EQ(lf_fixModelCode(file, {"[General]", "atc_model=A320"}), "A320");
    EXPECT_EQ(lf_fixModelCode(file, {"[fltsim.0]", "title=t", "atc_model = B737-800"}), "B738")
        << "found outside [General] too";
    EXPECT_EQ(lf_fixModelCode(file, {"atc_model=a320"}), "") << "letter case counts";
    EXPECT_EQ(lf_fixModelCode(file, {"[General]", "ui_type=x"}), "");

    EXPECT_THAT(codeFixes.lines, ElementsAre("Model fix: B737-800 found in ai/x/aircraft.cfg changed into B738"));
    EXPECT_THAT(lines(invalidModelCodes.lines), ElementsAre("a320             in ai/x/aircraft.cfg"));
    EXPECT_THAT(lines(invalidAircraftCfgFiles.lines),
                ElementsAre("Line atc_model= is missing in [General] section of ai/x/aircraft.cfg"));
}

TEST_F(ModelFixTest, IvaoFolderNamesGiveTheirType)
{
    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_A320w/aircraft.cfg"), "A320");
    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_GLID_KA8/aircraft.cfg"), "GLID");
    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_T154B2/aircraft.cfg"), "T154");
    EXPECT_EQ(lf_fixIvaoModelCode("sim/ivao_mtl/ivao_b738/AIRCRAFT.CFG"), "b738") << "the path ignores letter case";
    EXPECT_EQ(lf_fixIvaoModelCode(R"(C:\sim\IVAO_MTL\IVAO_B738\aircraft.cfg)"), "B738");
    EXPECT_THAT(invalidModelCodes.lines, IsEmpty());

    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_A320/sim.cfg"), "");
    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_A320/deeper/aircraft.cfg"), "");
    EXPECT_EQ(lf_fixIvaoModelCode("sim/IVAO_MTL/IVAO_XXXX/aircraft.cfg"), "");
    EXPECT_THAT(lines(invalidModelCodes.lines),
                ElementsAre("                 in sim/IVAO_MTL/IVAO_A320/sim.cfg",
                            "                 in sim/IVAO_MTL/IVAO_A320/deeper/aircraft.cfg",
                            "XXXX             in sim/IVAO_MTL/IVAO_XXXX/aircraft.cfg"));
}

} // namespace
