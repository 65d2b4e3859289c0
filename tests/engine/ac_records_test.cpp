#include "engine/ac_identity.h"
#include "engine/ac_records.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

AcIdentity identity(std::string callsign, std::string registration = {}, std::string origin = {},
                    std::string destination = {})
{
    AcIdentity id;
    id.airline = "DLH";
    id.type = "A320";
    id.departure = std::move(origin);
    id.destination = std::move(destination);
    id.callsign = std::move(callsign);
    id.registration = std::move(registration);
    return id;
}

TEST(AcRecords, NewLiveAircraftIsBufferedAndNew)
{
    StreamPosition first;
    first.lat = 50.0;
    LiveAc ac(first, gf_makeAircraftDescription(identity("DLH123")), 1000.5);
    EXPECT_EQ(ac.phase, AcPhase::New);
    EXPECT_EQ(ac.previousPhase, AcPhase::New);
    EXPECT_EQ(ac.state, AcState::Buffered);
    EXPECT_EQ(ac.objectId, 0u);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.throttleStep, 5u);
    EXPECT_EQ(ac.flapsStep, 4u);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_EQ(ac.stream.front().lat, 50.0);
    EXPECT_EQ(ac.lastMessageTime, 1000.5);
    EXPECT_EQ(ac.heightAboveGround, 2500.0);
    EXPECT_FALSE(ac.curveActive());
}

TEST(AcRecords, PhaseChangeKeepsThePreviousPhaseOnlyOnARealChange)
{
    LiveAc ac(StreamPosition{}, AcDescription{}, 0.0);
    ac.setPhase(AcPhase::Taxi);
    ac.setPhase(AcPhase::Taxi);
    EXPECT_EQ(ac.phase, AcPhase::Taxi);
    EXPECT_EQ(ac.previousPhase, AcPhase::New);
    ac.setPhase(AcPhase::Takeoff);
    EXPECT_EQ(ac.previousPhase, AcPhase::Taxi);
}

TEST(AcIdentityTest, UnknownTypeIsLightWithItsTableValuesAndVariedPitches)
{
    // The model data knows no type here, so every aircraft is Light.
    for (int i = 0; i < 50; ++i) {
        const AcDescription desc = gf_makeAircraftDescription(identity("X"));
        EXPECT_EQ(desc.category, AcCategory::Light);
        EXPECT_EQ(desc.flarePasses, 250u);
        EXPECT_EQ(desc.touchdownPasses, 250u);
        EXPECT_EQ(desc.rotationPasses, 100u);
        EXPECT_EQ(desc.climbPasses, 200u);
        const double rotation = desc.rotationPitch / 0.017453292519943295;
        const double climb = desc.climbPitch / 0.017453292519943295;
        EXPECT_TRUE(std::abs(rotation - -9.0 * 1.025) < 1e-9 || std::abs(rotation - -9.0 * 0.975) < 1e-9)
            << rotation;
        EXPECT_TRUE(std::abs(climb - -15.0 * 1.05) < 1e-9 || std::abs(climb - -15.0 * 0.95) < 1e-9) << climb;
    }
}

TEST(AcIdentityTest, CategoryNamesAndOutOfRange)
{
    EXPECT_EQ(gf_categoryName(AcCategory::Light), "Light");
    EXPECT_EQ(gf_categoryName(AcCategory::Rotorcraft), "Rotorcraft");
    try {
        gf_categoryName(static_cast<AcCategory>(6));
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid unordered_map<K, T> key");
    }
}

TEST(AcIdentityTest, CallsignUsability)
{
    EXPECT_TRUE(gf_isCallsignUsable(gf_makeAircraftDescription(identity("ABCDEFGH"))));
    EXPECT_FALSE(gf_isCallsignUsable(gf_makeAircraftDescription(identity("ABCDEFGHI"))));
    EXPECT_FALSE(gf_isCallsignUsable(gf_makeAircraftDescription(identity("@@@@@@@@"))));
    EXPECT_FALSE(gf_isCallsignUsable(gf_makeAircraftDescription(identity(""))));
}

TEST(AcIdentityTest, LabelsPadTheirFields)
{
    const AcDescription bare = gf_makeAircraftDescription(identity("DLH1"));
    EXPECT_EQ(gf_aimoKey(bare), "DLH A320");
    EXPECT_EQ(gf_aimoKey("U2", "B38"), "U2  B38 ");
    EXPECT_EQ(gf_aircraftLabel(bare), "DLH1    " + std::string(1 + 8 + 1 + 8 + 1, ' ') + "DLH A320");
    EXPECT_EQ(gf_aircraftLabelAt(bare), gf_aircraftLabel(bare));

    const AcDescription full = gf_makeAircraftDescription(identity("DLH123AB", "D-AIAB", "FRA", "LONDON"));
    EXPECT_EQ(gf_aircraftLabel(full), "DLH123AB D-AIAB   FRA->LONDON DLH A320");
    EXPECT_EQ(gf_aircraftShortLabel(full), "DLH123AB D-AIAB DLH A320");
    EXPECT_EQ(gf_flightKeyWithSuffix(full), "DLH A320 D-AIAB");
}

TEST(AcIdentityTest, KeyPairs)
{
    EXPECT_TRUE(gf_sameKeyPair(KeyPair{"", ""}, KeyPair{"", ""}));
    EXPECT_FALSE(gf_sameKeyPair(KeyPair{"DLH", "A320"}, KeyPair{"DLH", "A321"}));
    AcDescription a = gf_makeAircraftDescription(identity("A"));
    AcDescription b = gf_makeAircraftDescription(identity("B"));
    EXPECT_TRUE(gf_sameKeyPair(a, b));
    b.airline = "BAW";
    EXPECT_FALSE(gf_sameKeyPair(a, b));
}

} // namespace
