// The choice of the park airport from the user aircraft's position, the loading of its stand
// file and the start of the parking calculation.

#include "airports/airport_database.h"
#include "airports/apf_state.h"
#include "airports/park_airport_choice.h"
#include "airports/park_airport_list.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "airports/static_parking_calc.h"
#include "engine/update_pass.h"
#include "simlink/sim_state.h"
#include "standfiles_fixture.h"
#include "traffic/traffic_reader.h"

#include <chrono>
#include <condition_variable>
#include <fmt/format.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using airportstest::apfText;
using airportstest::parameterXml;
using ::testing::HasSubstr;

namespace {

std::size_t countOf(const std::string& text, std::string_view part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class ParkChoiceTest : public airportstest::StandFilesTest {
protected:
    void SetUp() override
    {
        StandFilesTest::SetUp();
        std::string body;
        for (const auto& [code, lat] : {std::pair{"EDDF", 50.0}, std::pair{"EDFX", 50.2}, std::pair{"EDDM", 48.35}})
            body += fmt::format("<airport code=\"{}\" lat=\"{}\" lon=\"8.5\" alt=\"300\" iata=\"\"/>\n", code, lat);
        testsupport::writeFile(g_airportsDbFile, "<?xml version=\"1.0\"?>\n<airports>\n" + body + "</airports>\n");
        ASSERT_TRUE(gf_readAirports());
        RANDOM.value = false;
        currentDaySlot = gf_packDaySlot(1, 10);
        reset();
    }
    void TearDown() override
    {
        reset();
        StandFilesTest::TearDown();
    }
    static void reset()
    {
        gf_resetEngineQueues();
        gf_resetParkAirportChoice();
        staticCandidates.clear();
        parkingBusyFlag = false;
        userAc = {};
        userOnGround = false;
        userAcDataValid = false;
        (void)trafficReader.takeCollectedCallsigns();
    }
    static void writeEddf()
    {
        const std::string stands =
            "<parkpos id=\"A1\" latitude=\"50.0\" longitude=\"8.5\" radius=\"30\">"
            "<opt airl=\"DLH\" type=\"A320\" day=\"1\" hh=\"10\" cs=\"DLH1\"/></parkpos>\n"
            "<parkpos id=\"A2\" latitude=\"50.01\" longitude=\"8.5\" radius=\"30\">"
            "<opt airl=\"DLH\" type=\"A321\" day=\"1\" hh=\"9,10\" cs=\"DLH2\"/></parkpos>\n";
        testsupport::writeFile(g_myThirdpartyFolder / "EDDF.xml",
                               apfText(parameterXml("airport_name", "Frankfurt") + parameterXml("altitude", "364"),
                                       stands));
    }
    static void fly(double lat, double heightFt = 3000.0)
    {
        userAc.latitude = lat;
        userAc.longitude = 8.5;
        userAc.altAboveGround = heightFt;
    }
    // A check, and the stand file it asked for read: the next check takes it.
    static void check(bool showMessage = false)
    {
        gf_checkForParkAirportUpdates(showMessage);
        gf_waitForParkFileRead();
    }
    static ParkAirport entry(const std::string& code, double lat) { return {code, "", {lat, 8.5}, 0.0}; }
    static std::vector<std::string> listCodes()
    {
        std::vector<std::string> codes;
        for (const ParkAirport& e : parkAirportList)
            codes.push_back(e.code);
        return codes;
    }
};

TEST_F(ParkChoiceTest, APositionNotYetPlacedChangesNothing)
{
    parkAirportList = {entry("EDDM", 48.35), entry("EDDF", 50.0)};
    userAc.latitude = 0.0005;
    userAc.longitude = 0.01;
    check();
    EXPECT_EQ(listCodes(), (std::vector<std::string>{"EDDM", "EDDF"}));
    EXPECT_EQ(parkAirportList[0].distanceNm, 0.0);
    fly(50.1);
    check();
    EXPECT_EQ(listCodes(), (std::vector<std::string>{"EDDF", "EDDM"})) << "sorted by distance";
}

TEST_F(ParkChoiceTest, WithADestinationTheListKeepsItsOrder)
{
    DESTINATION.value.set("EDDM");
    parkAirportList = {entry("EDDM", 48.35), entry("EDDF", 50.0)};
    fly(50.1, 30000.0);
    check();
    EXPECT_EQ(listCodes(), (std::vector<std::string>{"EDDM", "EDDF"}));
    EXPECT_TRUE(gf_parkAirport().code.empty()) << "the destination is far away";
}

TEST_F(ParkChoiceTest, AnAirportInSightIsChosenAndLoadedByTheNextCheck)
{
    writeEddf();
    parkAirportList = {entry("EDDF", 50.0)};
    fly(50.0 + 5.0 / 60.0);
    check();
    EXPECT_EQ(gf_parkAirport().code, "EDDF");
    EXPECT_TRUE(gf_parkAirportLoadRequested());
    EXPECT_TRUE(trafficReader.collectingCallsigns());
    EXPECT_TRUE(parkingBusyFlag.load());
    EXPECT_THAT(logText(), HasSubstr("EDDF in sight at 5.0 nm"));

    check();
    EXPECT_FALSE(gf_parkAirportLoadRequested());
    EXPECT_EQ(standTable.size(), 2u);
    EXPECT_TRUE(standsLoaded.load());
    EXPECT_TRUE(softLearningAllowed.load()) << "a file that knows little";
    EXPECT_FALSE(trafficReader.collectingCallsigns());
    ASSERT_EQ(staticCandidates.size(), 1u) << "two stands at 30%: one aircraft";
    EXPECT_TRUE(g_mainWindow.parkFileOk.load());
    EXPECT_EQ(g_mainWindow.parkFileText.get(), "Frankfurt");

    staticCandidates.clear();
    check();
    EXPECT_FALSE(parkingBusyFlag.load()) << "the queue is taken: the controls are free again";
}

#ifndef _WIN32
// The check that loads the stand file does not wait for it: here its link file is a pipe whose
// writer gives the link only once that check has returned (or, when the check waits, after 20 s).
TEST_F(ParkChoiceTest, TheCheckDoesNotWaitForTheStandFileToBeRead)
{
    writeEddf();
    const fs::path link = g_myThirdpartyFolder / "EDDF.txt";
    ASSERT_EQ(mkfifo(link.c_str(), 0600), 0);
    std::mutex mutex;
    std::condition_variable returned;
    bool checkReturned = false;
    bool writerWaitedInVain = false;
    std::thread writer([&] {
        std::ofstream pipe(link); // opens once the read has opened the pipe
        std::unique_lock lock(mutex);
        writerWaitedInVain = !returned.wait_for(lock, std::chrono::seconds(20), [&] { return checkReturned; });
        pipe << (g_myThirdpartyFolder / "EDDF.xml").generic_string() << "\n";
    });
    parkAirportList = {entry("EDDF", 50.0)};
    fly(50.1);
    gf_checkForParkAirportUpdates(false); // chosen: the read starts
    gf_checkForParkAirportUpdates(false); // the load finds the read still running
    EXPECT_TRUE(gf_parkAirportLoadRequested());
    {
        std::lock_guard lock(mutex);
        checkReturned = true;
    }
    returned.notify_one();
    writer.join();
    EXPECT_FALSE(writerWaitedInVain) << "the check waited for the file";
    check();
    check();
    EXPECT_EQ(standTable.size(), 2u);
    EXPECT_FALSE(gf_parkAirportLoadRequested());
}
#endif

TEST_F(ParkChoiceTest, AFileOfTwentyStandsWithARealQualityOf45LeavesNothingToSoftLearning)
{
    std::string stands;
    for (int i = 0; i < 20; ++i)
        stands += fmt::format("<parkpos id=\"S{}\" latitude=\"{}\" longitude=\"8.5\" radius=\"30\"/>\n", i,
                              50.0 + 0.001 * i);
    for (const auto& [quality, allowed] : {std::pair{"44", true}, std::pair{"45", false}}) {
        testsupport::writeFile(g_myThirdpartyFolder / "EDDF.xml",
                               apfText(parameterXml("altitude", "364") + parameterXml("Qf_real", quality), stands));
        LEARN_SOFT.value = true;
        parkAirportList = {entry("EDDF", 50.0)};
        fly(50.1);
        check();
        check();
        ASSERT_EQ(standTable.size(), 20u) << quality;
        EXPECT_EQ(softLearningAllowed.load(), allowed) << quality;
        EXPECT_EQ(LEARN_SOFT.value.load(), allowed) << quality;
        lf_closeParkAirport();
        reset();
    }
}

TEST_F(ParkChoiceTest, LeavingTheRangeGivesTheParkAirportUp)
{
    writeEddf();
    parkAirportList = {entry("EDDF", 50.0)};
    fly(50.0 + 5.0 / 60.0);
    check();
    check();
    ASSERT_FALSE(standTable.empty());
    fly(50.0 + 25.0 / 60.0);
    check();
    EXPECT_TRUE(gf_parkAirport().code.empty());
    EXPECT_TRUE(standTable.empty());
    EXPECT_TRUE(staticCandidates.empty());
    EXPECT_THAT(logText(), HasSubstr("EDDF is out of sight (25.0 nm), parked aircraft will be removed"));
}

TEST_F(ParkChoiceTest, ANearerParkAirportInSightTakesOver)
{
    writeEddf();
    parkAirportList = {entry("EDDF", 50.0)};
    fly(50.05);
    check();
    check();
    ASSERT_EQ(gf_parkAirport().code, "EDDF");
    parkAirportList = {entry("EDFX", 50.2), entry("EDDF", 50.0)};
    fly(50.11);
    check();
    EXPECT_TRUE(gf_parkAirport().code.empty());
    EXPECT_THAT(logText(), HasSubstr("EDFX is in sight (5.4 nm), parked aircraft at EDDF will be removed first"));
    check();
    EXPECT_EQ(gf_parkAirport().code, "EDFX");
}

TEST_F(ParkChoiceTest, AParkAirportDeeperInTheListMovesToTheFrontOnce)
{
    writeEddf();
    DESTINATION.value.set("EDFX");
    parkAirportList = {entry("EDFX", 50.2), entry("EDDF", 50.0)};
    userOnGround = true;
    userAcDataValid = true;
    fly(50.0, 0.0);
    check(); // looks for the stand file
    check();
    ASSERT_EQ(gf_parkAirport().code, "EDDF");
    check();
    EXPECT_EQ(listCodes(), (std::vector<std::string>{"EDDF", "EDFX"}));
}

TEST_F(ParkChoiceTest, AFileOfAnUnknownPublisherIsNotLoaded)
{
    testsupport::writeFile(g_myThirdpartyFolder / "EDDF.txt", "airports/my_thirdparty/unknown/EDDF.xml\n");
    parkAirportList = {entry("EDDF", 50.0)};
    fly(50.1);
    check();
    check();
    EXPECT_TRUE(gf_parkAirport().code.empty());
    EXPECT_THAT(logText(),
                HasSubstr("lf_readParkedFile EDDF has publisher:unknown, airports/my_thirdparty/unknown/EDDF.xml"));
}

TEST_F(ParkChoiceTest, OnTheGroundWithoutAStandFileNothingIsChosen)
{
    userOnGround = true;
    fly(48.35, 0.0);
    check(true); // looks for the stand file
    check(true);
    EXPECT_TRUE(gf_parkAirport().code.empty());
    EXPECT_THAT(logText(), HasSubstr("User aircraft on the ground at EDDM, no airport file found"));

    // The checks that follow neither ask the server again nor repeat the message.
    check();
    check();
    const std::string log = logText();
    EXPECT_EQ(countOf(log, "no airport file found"), 1u);
    EXPECT_EQ(countOf(log, "archive/stock/EDDM.xml failed"), 1u);
}

// A link file that cannot be looked at (a link to itself) makes the read throw on the reader's
// thread; the check that takes the read fails with it, in the air and on the ground.
TEST_F(ParkChoiceTest, WhatAReadThrowsFailsTheCheckThatTakesIt)
{
    const fs::path link = g_myThirdpartyFolder / "EDDF.txt";
    std::error_code error;
    fs::create_symlink(link.filename(), link, error);
    if (error)
        GTEST_SKIP() << "no symbolic link here: " << error.message();
    for (const bool onGround : {false, true}) {
        reset();
        userOnGround = onGround;
        parkAirportList = {entry("EDDF", 50.0)};
        fly(onGround ? 50.0 : 50.1, onGround ? 0.0 : 3000.0);
        check();
        EXPECT_THROW(check(), fs::filesystem_error) << (onGround ? "on the ground" : "in the air");
        EXPECT_EQ(countOf(logText(), "gf_checkForParkAirportUpdates: "), onGround ? 2u : 1u);
        lf_closeParkAirport();
    }
    EXPECT_THAT(logText(), HasSubstr("EDDF.txt"));
}

TEST_F(ParkChoiceTest, AUserFileWithAMistakeIsReportedAndTheParkAirportClosed)
{
    const std::string stand = "<parkpos id=\"A1\" latitude=\"50.0\" longitude=\"8.5\" radius=\"30\"/>\n";
    const std::pair<std::string, std::string> mistakes[] = {
        {parameterXml("altitude", "364"), stand + stand}, // user error 94
        {"", stand},                                           // user error 65
    };
    for (const auto& [parameters, stands] : mistakes) {
        reset();
        testsupport::writeFile(g_myThirdpartyFolder / "EDDF.xml", apfText(parameters, stands));
        parkAirportList = {entry("EDDF", 50.0)};
        fly(50.1);
        check();
        EXPECT_NO_THROW(check());
        EXPECT_TRUE(gf_parkAirport().code.empty()) << "the park airport is closed";
        EXPECT_TRUE(standTable.empty());
        EXPECT_FALSE(standsLoaded.load());
    }
    EXPECT_THAT(logText(), HasSubstr("EDDF.xml\": 94: Parking position A1 appears more than once?"));
    EXPECT_THAT(logText(), HasSubstr("EDDF.xml\": 65: Parameter altitude not found"));
}

} // namespace
