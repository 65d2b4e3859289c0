#include "engine_fixture.h"

#include "engine/traffic_intake.h"
#include "params/parameters.h"

#include <gtest/gtest.h>

namespace enginetest {
namespace {

using TrafficIntake = EngineTest;

constexpr std::uint32_t kHex = 0x4CA123;

// A buffered aircraft whose newest position moves at `speed` knots on track 90.
LiveAc& buffered(double speed, double track = 90.0, bool airborne = false)
{
    StreamPosition first;
    first.groundSpeed = speed;
    first.track = track;
    first.airborne = airborne ? 1 : 0;
    first.altitude = airborne ? 20000.0 : 0.0;
    return liveAcTable.emplace_back(first, AcDescription{.key = kHex}, 1000.0);
}

TrafficMessage next(double dt, double speed, double track = 90.0, bool airborne = false)
{
    TrafficMessage m;
    m.hexId = kHex;
    m.time = 1000.0 + dt;
    m.position.lat = 0.001; // 111 m from the first position: the same-place rules stay out of it
    m.position.groundSpeed = speed;
    m.position.track = track;
    m.position.airborne = airborne ? 1 : 0;
    m.position.altitude = airborne ? 20000.0 : 0.0;
    return m;
}

bool applied(LiveAc& ac, const TrafficMessage& m)
{
    const std::size_t before = ac.stream.size();
    EXPECT_TRUE(lf_updateFromTrafficMessage(m, ac));
    return ac.stream.size() > before;
}

TEST_F(TrafficIntake, TwoMessagesPerPass)
{
    LiveAc& ac = buffered(100.0);
    for (int i = 1; i <= 3; ++i) {
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.push_back(next(2.0 * i, 100.0));
        trafficQueue.back().position.lat = 0.001 * i;
    }
    lf_handleUdpMessages();
    EXPECT_EQ(ac.stream.size(), 3u);
    EXPECT_EQ(trafficQueue.size(), 1u);
    lf_handleUdpMessages();
    EXPECT_EQ(ac.stream.size(), 4u);
    EXPECT_TRUE(trafficQueue.empty());
}

TEST_F(TrafficIntake, MessagesWithinOneSecondAreIgnored)
{
    LiveAc& ac = buffered(100.0);
    EXPECT_FALSE(applied(ac, next(0.0, 100.0)));
    EXPECT_FALSE(applied(ac, next(1.0, 100.0)));
    EXPECT_FALSE(applied(ac, next(-5.0, 100.0)));
    EXPECT_TRUE(applied(ac, next(1.01, 100.0)));
    EXPECT_EQ(ac.lastMessageTime, 1001.01);
}

TEST_F(TrafficIntake, SpeedJumps)
{
    EXPECT_FALSE(applied(buffered(0.0), next(2.0, 85.0)));
    liveAcTable.clear();
    EXPECT_FALSE(applied(buffered(0.0), next(2.0, 80.0)));
    liveAcTable.clear();
    EXPECT_TRUE(applied(buffered(4.0), next(2.0, 40.0)));
    liveAcTable.clear();
    EXPECT_FALSE(applied(buffered(10.0), next(2.0, 100.0)));
    liveAcTable.clear();
    EXPECT_FALSE(applied(buffered(100.0), next(2.0, 10.0)));
    liveAcTable.clear();
    // A fix farther than three times the speed reaches (at least 30 kn, plus 100 m) is a bad one:
    // 6.5 km in 41 s at 68 kn; 1 km in 10 s at 300 kn is not.
    TrafficMessage far = next(41.0, 68.0, 202.0);
    far.position.lat = 6500.0 / 1852.0 / 60.0;
    EXPECT_FALSE(applied(buffered(31.0, 267.0), far));
    liveAcTable.clear();
    TrafficMessage fast = next(10.0, 300.0, 90.0, true);
    fast.position.lat = 1000.0 / 1852.0 / 60.0;
    EXPECT_TRUE(applied(buffered(300.0, 90.0, true), fast));
    liveAcTable.clear();

    // A feed that freezes the speed field at 43 kn while the aircraft takes off: the fixes
    // themselves show 60, 100 and 180 kn, and are taken.
    LiveAc& rolling = buffered(43.0);
    double lat = 0.0;
    double time = 0.0;
    for (const double knots : {60.0, 100.0, 180.0}) {
        time += 5.0;
        lat += knots * 5.0 / 3600.0 / 60.0;
        TrafficMessage fix = next(time, 43.0);
        fix.position.lat = lat;
        EXPECT_TRUE(applied(rolling, fix)) << knots << " kn";
    }
    liveAcTable.clear();

    // A far fix that the next one confirms is taken with it (the aircraft did move there); one
    // that the next one disproves is never flown.
    LiveAc& moved = buffered(100.0);
    TrafficMessage far1 = next(5.0, 100.0);
    far1.position.lat = 2.0 / 60.0;
    EXPECT_FALSE(applied(moved, far1));
    TrafficMessage onFromIt = next(10.0, 100.0);
    onFromIt.position.lat = far1.position.lat + 100.0 * 5.0 / 3600.0 / 60.0;
    EXPECT_TRUE(applied(moved, onFromIt));
    ASSERT_EQ(moved.stream.size(), 3u);
    EXPECT_EQ(moved.stream[1].lat, far1.position.lat);
    liveAcTable.clear();
    LiveAc& steady = buffered(100.0);
    EXPECT_FALSE(applied(steady, far1));
    TrafficMessage onTrack = next(10.0, 100.0);
    onTrack.position.lat = 100.0 * 10.0 / 3600.0 / 60.0;
    EXPECT_TRUE(applied(steady, onTrack));
    ASSERT_EQ(steady.stream.size(), 2u);
    EXPECT_EQ(steady.stream[1].lat, onTrack.position.lat);
}

TEST_F(TrafficIntake, SpeedJumpsAreMeasuredAgainstTheReceivedSpeed)
{
    // A hold or a repeated position made the newest position a stop: the aircraft rolls on.
    LiveAc& ac = buffered(150.0);
    ac.stream.back().groundSpeed = 0.0;
    EXPECT_TRUE(applied(ac, next(2.0, 150.0)));
    // A real change of speed is followed from its second message on.
    EXPECT_FALSE(applied(ac, next(4.0, 10.0)));
    EXPECT_TRUE(applied(ac, next(6.0, 10.0, 100.0)));
}

TEST_F(TrafficIntake, SlowRepeatsOfSteadyAircraft)
{
    // 300 kn in the air: 450 m take 2.9 seconds.
    EXPECT_FALSE(applied(buffered(300.0, 90.0, true), next(2.0, 300.0, 90.5, true)));
    liveAcTable.clear();
    EXPECT_TRUE(applied(buffered(300.0, 90.0, true), next(3.0, 300.0, 90.5, true)));
    liveAcTable.clear();
    // A turn is never a repeat.
    EXPECT_TRUE(applied(buffered(300.0, 90.0, true), next(2.0, 300.0, 92.0, true)));
    liveAcTable.clear();
    // 10 kn on the ground: 20 m take 3.89 seconds.
    EXPECT_FALSE(applied(buffered(10.0), next(3.88, 10.0)));
    liveAcTable.clear();
    EXPECT_TRUE(applied(buffered(10.0), next(3.9, 10.0)));
    liveAcTable.clear();
    // Standing: 15 seconds.
    EXPECT_FALSE(applied(buffered(0.0), next(15.0, 0.0)));
    liveAcTable.clear();
    EXPECT_TRUE(applied(buffered(0.0), next(15.5, 0.0)));
    liveAcTable.clear();
    // Positions the engine invented lift the repeat filter.
    LiveAc& inventing = buffered(10.0);
    inventing.extrapolationsLeft = 2;
    EXPECT_TRUE(applied(inventing, next(2.0, 10.0)));
}

TEST_F(TrafficIntake, AircraftBeingRemovedConsumesTheMessage)
{
    LiveAc& ac = buffered(100.0);
    ac.state = AcState::Removing;
    EXPECT_FALSE(applied(ac, next(5.0, 100.0)));
    EXPECT_EQ(ac.lastMessageTime, 1000.0);
    TrafficMessage other = next(5.0, 100.0);
    other.hexId = kHex + 1;
    EXPECT_FALSE(lf_updateFromTrafficMessage(other, ac));
}

TEST_F(TrafficIntake, LevelNearTheParkAirport)
{
    TrafficMessage m = next(0.0, 150.0, 90.0, true);
    m.position.altitude = 5050.0;
    EXPECT_TRUE(lf_isAwayFromParkAirportLevel(m));
    gf_setParkAirport({"LSZS", "SMV", 46.5, 9.9, 5000.0});
    EXPECT_FALSE(lf_isAwayFromParkAirportLevel(m));
    m.position.altitude = 0.0;
    EXPECT_TRUE(lf_isAwayFromParkAirportLevel(m));
    m.position.altitude = 10000.0;
    EXPECT_TRUE(lf_isAwayFromParkAirportLevel(m));
    m.position.altitude = 5121.0;
    EXPECT_TRUE(lf_isAwayFromParkAirportLevel(m));

    // Such a message does not reach a buffered aircraft either.
    LiveAc& ac = buffered(150.0, 0.0, true);
    TrafficMessage near = next(5.0, 150.0, 90.0, true);
    near.position.altitude = 5050.0;
    EXPECT_FALSE(applied(ac, near));
}

TEST_F(TrafficIntake, NewAircraftOnlyForAdmittedCategories)
{
    // Types that nobody knows are Light here.
    TrafficMessage m = message(0x123456, 2000.0, 47.0, 8.0, 0.0);
    LIGHT_AIRCRAFT.value = false;
    lf_addLiveAcFromMessage(m);
    EXPECT_TRUE(liveAcTable.empty());
    LIGHT_AIRCRAFT.value = true;
    m.identity.coupledCallsign2 = "OLD";
    m.identity.flag = 3;
    lf_addLiveAcFromMessage(m);
    ASSERT_EQ(liveAcTable.size(), 1u);
    const LiveAc& ac = liveAcTable.front();
    EXPECT_EQ(ac.desc.key, 0x123456u);
    EXPECT_EQ(ac.desc.cs, "N123");
    EXPECT_EQ(ac.desc.csSuffix, "");
    EXPECT_EQ(ac.desc.flag, 0);
    EXPECT_DOUBLE_EQ(ac.desc.groundTurnRate, 0.15 * 0.017453292519943295);
    EXPECT_DOUBLE_EQ(ac.desc.groundTurnRateDefault, ac.desc.groundTurnRate);
    EXPECT_EQ(ac.desc.maxClimbStep, 0.5);
    EXPECT_EQ(ac.desc.standSpeed, 5.0);
    EXPECT_EQ(ac.lastMessageTime, 2000.0);
    EXPECT_EQ(ac.state, AcState::Buffered);
    EXPECT_EQ(ac.phase, AcPhase::New);
}

TEST_F(TrafficIntake, SecondHexIdUnderTheSameCallsignAndTypeMakesNoAircraft)
{
    LIGHT_AIRCRAFT.value = true;
    TrafficMessage first = message(0x111111, 2000.0, 47.0, 8.0, 0.0);
    lf_addLiveAcFromMessage(first);
    TrafficMessage twin = message(0x222222, 2000.0, 47.0, 8.0, 0.0);
    lf_applyTrafficMessage(twin);
    EXPECT_EQ(liveAcTable.size(), 1u);
}

TEST_F(TrafficIntake, UnknownTypeWithoutKnownRegistrationMakesNoAircraft)
{
    LIGHT_AIRCRAFT.value = true;
    TrafficMessage m = message(0x333333, 2000.0, 47.0, 8.0, 0.0);
    m.identity.registration = "D-EABC";
    lf_prepareNewLiveAc(m);
    EXPECT_TRUE(liveAcTable.empty());
}

} // namespace
} // namespace enginetest

namespace enginetest {
namespace {

// A message whose application throws must not block the queue for every later pass.
TEST_F(TrafficIntake, MessageWhoseApplicationThrowsIsDropped)
{
    // A parked aircraft whose stream is gone: leaving the stand needs its oldest position.
    LiveAc& ac = buffered(0.0);
    ac.stream.clear();
    ac.state = AcState::InSim;
    ac.phase = AcPhase::Parked;
    ac.previousPhase = AcPhase::Taxi;
    ac.extrapolationsLeft = 1;
    ac.landed = 1;
    ac.standFirstDistance = ac.standLastDistance = 0.001;
    TrafficMessage m = next(5.0, 3.0);
    m.position.lat = 0.04 / 60.0; // 74 m north of the stand
    {
        std::lock_guard lock(trafficQueueMutex);
        trafficQueue.push_back(m);
        trafficQueue.push_back(next(10.0, 3.0));
    }
    EXPECT_THROW(lf_handleUdpMessages(), std::out_of_range);
    EXPECT_EQ(trafficQueue.size(), 1u);
    EXPECT_NE(logText().find("lf_handleUdpMessages: invalid deque<T> subscript"), std::string::npos);
}

} // namespace
} // namespace enginetest
