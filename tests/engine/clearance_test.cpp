#include "engine_fixture.h"

#include "engine/clearance.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

constexpr double kFeetPerNm = 6076.11549;

class Clearance : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        liveAcTable.reserve(16);
        staticAcTable.reserve(16);
        userAc.latitude = 48.0;
        userAc.longitude = 11.0;
        userAc.heading = 0.0; // north
        userHalfWingspan = 0.009;
    }

    static LatLon user() { return {userAc.latitude, userAc.longitude}; }

    // A live aircraft in the simulator `ahead` feet along the user's heading and `aside` feet to
    // its right.
    static LiveAc& liveNearUser(std::uint32_t hexId, double ahead, double aside, bool onGround)
    {
        const LatLon forward = gf_destinationPoint(user(), userAc.heading, ahead);
        const LatLon at = gf_destinationPoint(forward, userAc.heading + geo::kPi / 2, aside);
        LiveAc& ac = addLive(hexId, AcState::InSim, AcPhase::Taxi, position(at.latitude, at.longitude), hexId);
        ac.groundMode = onGround ? 1 : 0;
        ac.desc.halfWingspan = 0.009;
        return ac;
    }
};

TEST_F(Clearance, OneOverlappingLiveAircraftIsRemovedPerCall)
{
    LiveAc& first = liveNearUser(0x100001, 20.0, 0.0, true);
    LiveAc& second = liveNearUser(0x100002, -20.0, 0.0, true);
    liveNearUser(0x100003, 2000.0, 0.0, true);
    gf_clearUserAcSurroundings();
    EXPECT_EQ(first.state, AcState::Removing);
    EXPECT_EQ(second.state, AcState::InSim);
    gf_clearUserAcSurroundings();
    EXPECT_EQ(second.state, AcState::Removing);
    gf_clearUserAcSurroundings();
    EXPECT_EQ(liveAcTable[2].state, AcState::InSim);
}

TEST_F(Clearance, StaticAircraftOnTheUsersStandGoesOnlyOnceTheUserMoved)
{
    gf_clearUserAcSurroundings(); // the check at this position is made with nothing there
    StaticAc& st = staticAcTable.emplace_back(AcDescription{}, 1, StandPose{48.0, 11.0, 0.0}, false);
    st.state = AcState::InSim;
    st.objectId = 50;
    st.desc.halfWingspan = 0.009;
    gf_clearUserAcSurroundings();
    EXPECT_EQ(st.state, AcState::InSim);
    userAc.latitude += 0.00001;
    gf_clearUserAcSurroundings();
    EXPECT_EQ(st.state, AcState::Removing);
}

TEST_F(Clearance, TaxiingAircraftWithin50FeetOfTheUsersTrackIsInTheWay)
{
    LiveAc& near = liveNearUser(0x100001, 3000.0, 40.0, true);
    LiveAc& clear = liveNearUser(0x100002, 3000.0, 60.0, true);
    LiveAc& far = liveNearUser(0x100003, 1.1 * kFeetPerNm, 0.0, true);
    EXPECT_FALSE(gf_isInUsersWay(clear));
    EXPECT_FALSE(gf_isInUsersWay(far));
    userAc.altAboveGround = 600.0;
    EXPECT_FALSE(gf_isInUsersWay(near));
    userAc.altAboveGround = 0.0;
    EXPECT_TRUE(gf_isInUsersWay(near));
    EXPECT_EQ(near.state, AcState::Removing);
    EXPECT_FALSE(gf_isInUsersWay(near)); // no longer in the simulator
}

TEST_F(Clearance, AirborneAircraftInTheWayOnlyWithin1000Feet)
{
    userAc.altitude = 5000.0;
    // Three miles north, heading south: its track runs over the user.
    LiveAc& ac = liveNearUser(0x100001, 3.0 * kFeetPerNm, 0.0, false);
    ac.pose.heading = geo::kPi;
    ac.pose.altitude = 6000.0;
    EXPECT_FALSE(gf_isInUsersWay(ac));
    ac.pose.altitude = 5999.0;
    ac.pose.heading = geo::kPi / 2; // crossing east: the user lies three miles off its track
    EXPECT_FALSE(gf_isInUsersWay(ac));
    ac.pose.heading = geo::kPi + 0.02; // about 360 ft off
    EXPECT_TRUE(gf_isInUsersWay(ac));
}

TEST_F(Clearance, UserOnTheTrackOfTheOldestPosition)
{
    userAc.altitude = 3000.0;
    const LatLon at = gf_destinationPoint(user(), 0.0, 5.0 * kFeetPerNm);
    StreamPosition p = position(at.latitude, at.longitude);
    p.altitude = 5500.0;
    p.track = 180.0; // flying south, at the user
    LiveAc& ac = addLive(0x100001, AcState::Buffered, AcPhase::New, p);
    EXPECT_TRUE(lf_onUsersPath(ac));
    ac.legBearing = 1.0; // a buffered aircraft has flown no leg: only the received track counts
    EXPECT_TRUE(lf_onUsersPath(ac));
    ac.stream.front().track = 180.0 + 11.5; // 5 NM x sin(0.2 rad) is about 6000 ft off
    EXPECT_FALSE(lf_onUsersPath(ac));
    ac.stream.front().track = 1e300; // folded at once: the call returns like any other
    lf_onUsersPath(ac);
    ac.stream.front().track = 180.0;
    ac.stream.front().altitude = 6000.0;
    EXPECT_FALSE(lf_onUsersPath(ac));
}

} // namespace
} // namespace enginetest
