// The dispatch procedure fed with messages built here: short and malformed messages, the user
// aircraft's title and model, exceptions, object events, the simulator time, the tear-free
// user block, and the failed-request counter.

#include "simlink_fixture.h"

#include "app/message_line.h"
#include "core/clock.h"
#include "core/exceptions.h"
#include "liveries/dbase.h"
#include "params/park_airport.h"
#include "run/exit.h"
#include "simlink/sim_client.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"
#include "support/exit_hold.h"
#include "support/limiter_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <thread>

namespace simlinktest {
namespace {

// A received message of exactly `size` bytes (so that a read past its end is caught).
class Message {
public:
    Message(std::uint32_t id, std::size_t size) : bytes_(size, 0)
    {
        u32(0, static_cast<std::uint32_t>(size));
        u32(4, 4);
        u32(8, id);
    }
    Message& u32(std::size_t offset, std::uint32_t value) { return put(offset, &value, sizeof(value)); }
    Message& f64(std::size_t offset, double value) { return put(offset, &value, sizeof(value)); }
    Message& i64(std::size_t offset, std::int64_t value) { return put(offset, &value, sizeof(value)); }
    Message& text(std::size_t offset, const std::string& value) { return put(offset, value.data(), value.size()); }
    void dispatch()
    {
        lf_dispatchProc(reinterpret_cast<qmx::SIMCONNECT_RECV*>(bytes_.data()), static_cast<std::uint32_t>(bytes_.size()),
                        nullptr);
    }

private:
    Message& put(std::size_t offset, const void* value, std::size_t size)
    {
        std::memcpy(bytes_.data() + offset, value, size);
        return *this;
    }
    std::vector<std::uint8_t> bytes_;
};

constexpr std::uint32_t kException = 1, kOpen = 2, kEvent = 4, kAddRemove = 5, kData = 8, kByType = 9;

// An object-data reply for a request with `dataSize` bytes of datums.
Message lf_data(std::uint32_t requestId, std::size_t dataSize, std::uint32_t objectId = 1, std::uint32_t id = kData)
{
    Message message(id, 40 + dataSize);
    message.u32(12, requestId).u32(16, objectId);
    return message;
}

Message lf_userBlock(double latitude, double longitude, std::int64_t year = 2024, std::int64_t dayOfYear = 60,
                     std::int64_t zuluTime = 3600)
{
    Message message = lf_data(109, 96);
    message.f64(40, latitude).f64(48, longitude).f64(80, 125.0).i64(104, zuluTime).i64(112, dayOfYear).i64(120, year);
    return message;
}

Message lf_title(const std::string& title)
{
    Message message = lf_data(106, title.size() + 1);
    message.text(40, title);
    return message;
}

Message lf_model(const std::string& model)
{
    Message message = lf_data(107, 32);
    message.text(40, model);
    return message;
}

Message lf_exception(std::uint32_t exception, std::uint32_t sendId = 0, std::uint32_t index = 0)
{
    Message message(kException, 24);
    message.u32(12, exception).u32(16, sendId).u32(20, index);
    return message;
}

using DispatchTest = SimLinkTest;

TEST_F(DispatchTest, MessagesShorterThanTheirLayoutAreIgnored)
{
    struct Case {
        const char* what;
        Message message;
    };
    Message titleWithoutNul = lf_data(106, 8);
    titleWithoutNul.text(40, "ABCDEFGH");
    Message emptyModelCut = lf_data(107, 31); // an empty model would be a user error if read
    std::vector<Case> cases{
        {"exception", Message(kException, 20).u32(12, 5)},
        {"open", Message(kOpen, 300).text(12, "Lockheed Martin Prepar3D v5")},
        {"event", Message(kEvent, 20).u32(16, 205)},
        {"object added", Message(kAddRemove, 24).u32(16, 202).u32(20, 500)},
        {"user block", lf_data(109, 95).f64(40, 45.0)},
        {"on ground", lf_data(108, 7)},
        {"title without its NUL", titleWithoutNul},
        {"model", emptyModelCut},
        {"static CG", lf_data(102, 15)},
        {"in range", lf_data(101, 55, 600, kByType)},
        {"header", Message(kData, 12)},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NO_THROW(c.message.dispatch());
    }
    EXPECT_FALSE(userAcDataValid.load());
    EXPECT_FALSE(tickFlag.load());
    EXPECT_FALSE(gf_simLinkStatus().simConnected);
    EXPECT_TRUE(userAcTitle.empty());
    EXPECT_TRUE(addedObjects.empty());
    EXPECT_TRUE(gf_takeSimCommands().empty());
    EXPECT_FALSE(logHas("User ac position changed"));
    EXPECT_FALSE(logHas("title"));
}

TEST_F(DispatchTest, TheTitleIsCutTo48CharactersAndARepeatChangesNothing)
{
    const std::string title(60, 'T');
    lf_title(title).dispatch();
    EXPECT_EQ(userAcTitle.get(), title.substr(0, 48));
    EXPECT_EQ(gf_simLinkStatus().userAcTitleText, title.substr(0, 48));
    lf_title(title).dispatch();
    const std::string log = logText();
    const std::string line = "          SimConnect: User aircraft title: " + title.substr(0, 48) + "\n";
    EXPECT_NE(log.find(line), std::string::npos);
    EXPECT_EQ(log.find(line), log.rfind(line)) << "logged once";
    lf_title("").dispatch();
    EXPECT_TRUE(logHas("! title of your ac is empty?"));
    EXPECT_EQ(userAcTitle.get(), title.substr(0, 48));
    // A title in the simulator's code page is stored as UTF-8, as the window draws it.
    lf_title("Air Fran\xe7" "e").dispatch();
    EXPECT_EQ(userAcTitle.get(), "Air Fran\xc3\xa7" "e");
    EXPECT_EQ(gf_simLinkStatus().userAcTitleText, "Air Fran\xc3\xa7" "e");
}

TEST_F(DispatchTest, TheUserModelGivesTheWingSpanAndCategory)
{
    struct Case {
        std::string title;
        std::string model;
        bool known;
        const char* logLine; // null: none
        bool unknownMessage;
    };
    // Two models with a wing span of their own; the default (the largest of the data base) is 0.
    gf_clearDbaseTables();
    dbaseTables.Wingspans = {{"B738", 18.0 / 1852.0}, {"A320", 18.0 / 1852.0}};
    const std::vector<Case> cases{
        {"Default Boeing", "B738", true,
         "SimConnect: User aircraft model: B738, half wing span: 18.0 meter, category: Light", false},
        {"Default Boeing", "camerapod", true, nullptr, false},
        {"Aerosoft A320 Lufthansa", "Airbus A320-214", true,
         "SimConnect: User aircraft model deduced from title: A320, half wing span: 18.0 meter, category: Light",
         false},
        {"Aerosoft A3", "Airbus A320-214", false, "SimConnect: User aircraft model: Airbus A320-214, category: Light",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + " / " + c.title);
        gf_resetSimLinkState();
        gf_clearMessage();
        userAcTitle = c.title;
        lf_model(c.model).dispatch();
        EXPECT_EQ(gf_simLinkStatus().userModelFlag, c.known);
        EXPECT_TRUE(userHalfWingspanValid.load());
        EXPECT_EQ(userAcCategory.load(), AcCategory::Light);
        EXPECT_TRUE(logHas("          model raw: " + c.model + " \n"));
        if (c.logLine) {
            EXPECT_TRUE(logHas(std::string("          ") + c.logLine + "\n"));
        }
        EXPECT_EQ(gf_messageLineState().text ==
                      "User aircraft wing span unknown, max is taken instead, please report in my Forum!",
                  c.unknownMessage);
    }
    EXPECT_FALSE(logHas("model: camerapod"));
    try {
        lf_model("").dispatch();
        FAIL() << "an empty model is a user error";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "71: atc_model= in [General] section of your aircraft.cfg is empty or missing");
    }
    gf_clearDbaseTables();
}

TEST_F(DispatchTest, ExceptionsAreReportedByTheirNumber)
{
    try {
        lf_exception(5, 0, 7).dispatch();
        FAIL() << "a version mismatch ends the thread";
    } catch (const qmx::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "95: Simconnect Version Mismatch, dwindex: 7 ");
    }
    lf_exception(11).dispatch();
    EXPECT_EQ(gf_messageLineState().text, "SimConnect: too many objects (max 1000)");
    lf_exception(19).dispatch();
    lf_exception(23).dispatch();
    lf_exception(24).dispatch();
    lf_exception(7).dispatch();
    // The user position is not yet known: an unknown id is no news.
    lf_exception(3).dispatch();
    lf_userBlock(51.47, -0.45).dispatch();
    lf_exception(3).dispatch();
    const std::string log = logText();
    for (const char* line : {"SimConnect: too many objects (max 1000)\n", "SIMCON EXCEP 19\n",
                             "===> Simconnect Exception: load flight plan failed\n", "SIMCON EXCEP 24\n",
                             "===> SIMCON EXCEP 7\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), log.rfind("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
    EXPECT_NE(log.find("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);
}

TEST_F(DispatchTest, ObjectEventsCountOnlyForAircraftAboveTheUser)
{
    const auto addRemove = [](std::uint32_t event, std::uint32_t objectId, std::uint32_t type) {
        Message(kAddRemove, 28).u32(16, event).u32(20, objectId).u32(24, type).dispatch();
    };
    addRemove(202, 2, 2);   // the user's id (2 until the first block)
    addRemove(202, 300, 1); // not an aircraft
    addRemove(202, 301, 2);
    EXPECT_EQ(addedObjects, std::vector<std::uint32_t>{301});
    addRemove(203, 302, 1);
    addRemove(203, 303, 2);
    const auto commands = gf_takeSimCommands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].type, SimCommandType::Removed);
    EXPECT_EQ(commands[0].objectId, 303u);

    // Two creations with the same callsign: each reply binds the first pending one.
    pendingCreations.push_back({10, 20001, "TWIN"});
    pendingCreations.push_back({11, 20002, "TWIN"});
    addRemove(202, 304, 2);
    const auto inRange = [](std::uint32_t objectId, const std::string& atcId, double agl) {
        Message message = lf_data(101, 56, objectId, kByType);
        message.f64(40, agl).f64(48, 300.0).i64(56, 0).text(64, atcId);
        message.dispatch();
    };
    inRange(301, "TWIN", 900.0);
    inRange(304, "TWIN", 800.0);
    auto bound = gf_takeSimCommands();
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0].key, 20001u);
    EXPECT_EQ(bound[0].objectId, 301u);
    EXPECT_EQ(bound[0].second, 900.0);
    EXPECT_EQ(bound[1].key, 20002u);
    EXPECT_TRUE(pendingCreations.empty());
    // Objects not just added: ground data below 2500 ft, nothing for '*' callsigns or higher up.
    inRange(305, "DLH4", 2500.0);
    inRange(306, "DLH5*", 100.0);
    inRange(307, "DLH6", 2600.0);
    bound = gf_takeSimCommands();
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].type, SimCommandType::GroundData);
    EXPECT_EQ(bound[0].objectId, 305u);
    EXPECT_EQ(bound[0].first, 300.0);
    EXPECT_EQ(bound[0].second, 2500.0);
}

// However many objects the simulator adds, removes or reports created without a frame, the
// lists stay bounded, and the command queue gives its room back after a burst. A full command
// queue drops what no record waits for, but never the binding of a creation or that object's
// removal.
TEST_F(DispatchTest, TheObjectListsStayBoundedAndForgetRemovedObjects)
{
    testsupport::useLimiterClock(); // the first drop is logged at once
    const auto addRemove = [](std::uint32_t event, std::uint32_t objectId) {
        Message(kAddRemove, 28).u32(16, event).u32(20, objectId).u32(24, 2).dispatch();
    };
    addRemove(202, 301);
    addRemove(203, 301);
    EXPECT_TRUE(addedObjects.empty()) << "a removed object is no longer waited for";
    EXPECT_EQ(gf_takeSimCommands().size(), 1u);
    for (std::uint32_t id = 1000; id < 16000; ++id) {
        addRemove(202, id);
        addRemove(203, id + 100000); // objects never added: one command each
    }
    EXPECT_LE(addedObjects.size(), 2000u);
    const std::uint64_t dropped = gf_droppedSimCommands();
    EXPECT_GE(dropped, 5000u);
    EXPECT_NE(logText().find("===> simulator command queue full (10000 commands): "), std::string::npos);
    // The queue full, a creation is bound and its object removed; another object's removal goes.
    pendingCreations.push_back({10, 20001, "DLH1"});
    addRemove(202, 40000);
    Message bind = lf_data(101, 56, 40000, kByType);
    bind.f64(40, 900.0).f64(48, 300.0).i64(56, 0).text(64, "DLH1");
    bind.dispatch();
    addRemove(203, 40000);
    addRemove(203, 40001);
    EXPECT_EQ(gf_droppedSimCommands(), dropped + 1);
    const std::vector<SimCommand> commands = gf_takeSimCommands();
    ASSERT_EQ(commands.size(), kSimCommandLimit + 2);
    EXPECT_EQ(commands[kSimCommandLimit].type, SimCommandType::LiveCreated);
    EXPECT_EQ(commands[kSimCommandLimit + 1].type, SimCommandType::Removed);
    EXPECT_EQ(commands[kSimCommandLimit + 1].objectId, 40000u);
    {
        std::lock_guard lock(simCommandMutex);
        EXPECT_LE(simCommandQueue.capacity(), 256u) << "the burst's room went with the taken commands";
    }
    simConnectFailed = true; // the replies' own data requests are not sent
    unansweredCreations = 10000;
    for (std::uint32_t id = 20000; id < 30000; ++id)
        Message(12, 20).u32(12, 104).u32(16, id).dispatch();
    EXPECT_LE(lf_unboundObjectCount(), 2000u);
}

// A creation reply answers one creation sent, and so does a refusal, by its send id: a reply
// that answers none (a damaged stream, a simulator repeating itself) is no object of this
// program, and asks for nothing.
TEST_F(DispatchTest, OnlyAReplyThatAnswersACreationSentIsFollowedUp)
{
    const auto reply = [](std::uint32_t objectId) { Message(12, 20).u32(12, 104).u32(16, objectId).dispatch(); };
    simConnectFailed = true; // the replies' own data requests are not sent
    reply(500);
    EXPECT_EQ(lf_unboundObjectCount(), 0u);
    EXPECT_TRUE(logHas("! Creation reply without a creation sent, ignored"));
    // Two creations sent, the second refused (exception 22, or 11 for the simulator's limit).
    std::uint32_t sendId = 10;
    for (const std::uint32_t refusal : {22u, 11u}) {
        SCOPED_TRACE(refusal);
        const std::size_t before = lf_unboundObjectCount();
        pendingCreations.push_back({++sendId, 20001, "AAA1"});
        pendingCreations.push_back({++sendId, 20002, "BBB2"});
        unansweredCreations = 2;
        lf_exception(refusal, sendId).dispatch();
        for (std::uint32_t objectId = 600; objectId < 603; ++objectId)
            reply(objectId + sendId * 10);
        EXPECT_EQ(lf_unboundObjectCount(), before + 1);
    }
}

TEST_F(DispatchTest, StandAndParkAirportWorkIsLeftToTheWorkThread)
{
    parkAirportList.push_back({"KLAX", "", {33.9425, -118.408}, 0.0});
    lf_userBlock(33.9425, -118.408).dispatch();
    Message(6, 288).u32(16, 206).dispatch(); // a flight file loaded
    // The SimConnect thread only raised the requests; the list is the work thread's.
    EXPECT_TRUE(userStandCheckPending.load());
    EXPECT_TRUE(recordUserParkAirportPending.load());
    EXPECT_EQ(parkAirportList.front().stand, "");
    EXPECT_TRUE(logHas("===> New file loaded"));
    gf_applyUserAcUpdates();
    EXPECT_FALSE(userStandCheckPending.load());
    EXPECT_FALSE(recordUserParkAirportPending.load());
    EXPECT_TRUE(waitForLog("Exiting: RESTART"));
    EXPECT_TRUE(gf_waitForExitIdle(kDeadline));
    parkAirportList.clear();
}

TEST_F(DispatchTest, SimulatorTimeFollowsTheZuluDateOnceTheTrafficIsProfessional)
{
    g_professionalEdition = false;
    lf_userBlock(51.47, -0.45, 2024, 60, 3600).dispatch();
    EXPECT_EQ(simUnixTime.load(), 0);
    g_professionalEdition = true;
    lf_userBlock(51.47, -0.45, 2024, 60, 3600).dispatch(); // 29 February 2024, 01:00
    EXPECT_EQ(simUnixTime.load(), 1709168400);
    lf_userBlock(51.47, -0.45, 2024, 61, 3600).dispatch(); // 1 March
    EXPECT_EQ(simUnixTime.load(), 1709168400 + 86400);
    // A date outside the calendar of the traffic clock leaves the time as it was.
    struct Refused {
        const char* what;
        std::int64_t year, dayOfYear, zuluTime;
    };
    const std::vector<Refused> refused{
        {"year 0", 0, 1, 0},
        {"year 10000", 10000, 1, 0},
        {"a year of 3e12", 3'082'488'000'000, 60, 3600},
        {"day 0", 2024, 0, 3600},
        {"day 366 of a common year", 2023, 366, 3600},
        {"day of 1.1e15", 2024, 1'125'899'907'958'103, 3600},
        {"a second before the day", 2024, 60, -1},
        {"a second after the day", 2024, 60, 86400},
        {"the last second of int64", 2024, 60, std::numeric_limits<std::int64_t>::max()},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        lf_userBlock(51.47, -0.45, r.year, r.dayOfYear, r.zuluTime).dispatch();
        EXPECT_EQ(simUnixTime.load(), 1709168400 + 86400);
    }
    lf_userBlock(51.47, -0.45, 9999, 365, 86399).dispatch(); // the last second of the calendar
    EXPECT_EQ(simUnixTime.load(), 253402300799);
    g_professionalEdition = false;
    simUnixTime = 0;
}

// A simulator sends any message as often as it likes: each line it makes is logged once, then at
// most once a minute with the number of repeats, and what a minute held back when the connection
// ends. A message shown on the message line is shown every time.
TEST_F(DispatchTest, ALineTheSimulatorRepeatsIsLoggedOnceAMinuteWithItsCount)
{
    testsupport::useLimiterClock();
    gf_setMessageLineSink([] {}); // a window shows the messages (without one they are logged)
    lf_userBlock(51.47, -0.45).dispatch(); // an unrecognized id is news once the user is placed
    const auto flood = [](int count) {
        for (int i = 0; i < count; ++i) {
            Message(99, 16).dispatch();
            lf_exception(3).dispatch();
            lf_exception(11).dispatch();
        }
    };
    const auto lines = [this](const std::string& line) {
        const std::string log = "\n" + logText();
        std::size_t count = 0;
        for (std::size_t at = log.find("\n" + line + "\n"); at != std::string::npos;
             at = log.find("\n" + line + "\n", at + 1))
            ++count;
        return count;
    };
    const std::vector<std::string> flooded{"! Unknown Dispatch dwID 99", "===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID",
                                           "SimConnect: too many objects (max 1000)"};
    flood(1000);
    Message(100, 16).dispatch(); // another text is news at once
    EXPECT_EQ(lines("! Unknown Dispatch dwID 100"), 1u);
    testsupport::moveLimiterClock(std::chrono::seconds(59));
    flood(1);
    for (const std::string& line : flooded)
        EXPECT_EQ(lines(line), 1u) << line;
    testsupport::moveLimiterClock(std::chrono::seconds(1));
    flood(1);
    flood(5);
    lf_endSimulatorLines();
    for (const std::string& line : flooded) {
        EXPECT_EQ(lines(line + " (1001 times since the previous report)"), 1u) << line;
        EXPECT_EQ(lines(line + " (5 times since the previous report)"), 1u) << line;
    }
    EXPECT_EQ(gf_messageLineState().text, "SimConnect: too many objects (max 1000)");
    gf_setMessageLineSink(nullptr);
}

TEST_F(DispatchTest, TheUserBlockIsNeverSeenHalfWritten)
{
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (std::int64_t k = 1; !stop; ++k) {
            UserAcData block;
            block.latitude = block.longitude = block.pitch = block.bank = block.heading = block.altitude =
                block.altAboveGround = block.groundVelocity = static_cast<double>(k);
            block.zuluTime = block.zuluDayOfYear = block.zuluYear = block.lightStates = k;
            lf_storeLiveUserAc(block);
        }
    });
    bool torn = false;
    for (int i = 0; i < 200000 && !torn; ++i) {
        const UserAcData copy = gf_liveUserAcData();
        torn = copy.latitude != copy.groundVelocity || copy.lightStates != static_cast<std::int64_t>(copy.latitude);
    }
    stop = true;
    writer.join();
    EXPECT_FALSE(torn);
}

// Without a connection a request and an event fail: the static CG request and the lights toggle
// of a new aircraft write their own warning lines.
TEST_F(DispatchTest, FailedStaticCgRequestAndLightsToggleWriteTheirOwnLines)
{
    gf_requestStaticCg(500);
    gf_sendClientEvent(500, simid::kAllLightsToggle, 0);
    lf_flushSimQueues();
    EXPECT_TRUE(logHas("===> SimConnect request StaticCG fails\n"));
    EXPECT_TRUE(logHas("===> SimConnect gf_allLightsToggle fails\n"));
    EXPECT_FALSE(logHas("TransmitClientEvent: 214 fails"));
}

TEST_F(DispatchTest, TheThirdFailedRequestStopsAllSendingAndRestarts)
{
    // The restart's reset clears the failed state: it is looked at before the exit goes on.
    testsupport::ExitHold hold;
    // Without a connection every request fails.
    gf_getUserAcPosition();
    gf_requestUserOnGround();
    EXPECT_FALSE(simConnectFailed.load());
    EXPECT_FALSE(logHas("SimConnect request error"));
    gf_requestUserAcTitleAndModel();
    EXPECT_TRUE(simConnectFailed.load());
    for (const char* line : {"===> SimConnect request user ac position fails\n", "===> SimConnect request ac gnd/air fails\n",
                             "===> SimConnect request user ac title fails\n", "===> SimConnect reques user ac model fails\n",
                             "SimConnect request error 3, see Log.txt\n", "SimConnect request error 4, see Log.txt\n"})
        EXPECT_TRUE(logHas(line)) << line;
    // Once failed, nothing more is asked of the simulator.
    gf_getUserAcPosition();
    gf_requestAircraftInRange(1000);
    EXPECT_FALSE(logHas("SimConnect request error 5"));
    EXPECT_TRUE(waitForLog("Exiting: RESTART"));
    // Queued work is dropped, no creation is left pending.
    gf_queueCreateAiAc({});
    gf_queueRemoveAiAc(500);
    lf_flushSimQueues();
    EXPECT_TRUE(pendingCreations.empty());
    EXPECT_FALSE(logHas("remove AI ac from sim failed"));
    hold.release();
    EXPECT_TRUE(gf_waitForExitIdle(kDeadline));
}

} // namespace
} // namespace simlinktest
