// AI flight-plan files: the folder, the eight lines, escaping, and the plan given to the
// simulator stand-in.

#include "simlink_fixture.h"

#include "params/names.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_queues.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace simlinktest {
namespace {

using FlightPlanTest = SimLinkTest;

TEST_F(FlightPlanTest, TheFolderLiesInThePerUserDataFolder)
{
    gf_createFlightPlanFolder();
    const auto expected = folder.path() / "config" / "Orvanta_P3D" / "orig_dest";
    EXPECT_EQ(gf_flightPlanFolderPath(), expected);
    EXPECT_TRUE(std::filesystem::is_directory(expected));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "orig_dest"));
    testsupport::writeFile(expected / "7.pln", "x");
    EXPECT_TRUE(gf_removeFlightPlanFolder());
    EXPECT_FALSE(std::filesystem::exists(expected));
    EXPECT_FALSE(gf_removeFlightPlanFolder());
}

TEST_F(FlightPlanTest, AFileHoldsTheEightLines)
{
    gf_createFlightPlanFolder();
    const auto path = gf_flightPlanFolderPath() / gf_flightPlanFileName(4294967295u);
    EXPECT_EQ(path.filename(), "4294967295.pln");
    ASSERT_TRUE(gf_writeFlightPlan(path, {AcCategory::Large, "EGLL", "KJFK"}));
    EXPECT_EQ(testsupport::readFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                           "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                                           "<FlightPlan.FlightPlan>\n"
                                           "<FPType>IFR</FPType>\n"
                                           "<DepartureID>EGLL</DepartureID>\n"
                                           "<DestinationID>KJFK</DestinationID>\n"
                                           "</FlightPlan.FlightPlan>\n"
                                           "</SimBase.Document>\n");
    EXPECT_FALSE(gf_writeFlightPlan(folder.path() / "missing" / "1.pln", {}));
}

TEST_F(FlightPlanTest, ThePlanTypeFollowsTheCategory)
{
    for (const auto& [category, type] : std::vector<std::pair<AcCategory, const char*>>{
             {AcCategory::Light, "VFR"},
             {AcCategory::Buzjets, "IFR"},
             {AcCategory::Large, "IFR"},
             {AcCategory::Heavy, "IFR"},
             {AcCategory::HighPerf, "VFR"},
             {AcCategory::Rotorcraft, "VFR"}}) {
        EXPECT_NE(gf_flightPlanText({category, "", ""}).find(std::string("<FPType>") + type + "</FPType>\n"),
                  std::string::npos)
            << gf_categoryName(category);
    }
    const std::string empty = gf_flightPlanText({});
    EXPECT_NE(empty.find("<DepartureID></DepartureID>\n<DestinationID></DestinationID>\n"), std::string::npos);
}

TEST_F(FlightPlanTest, TextsFromOutsideAreEscaped)
{
    const FlightPlanRoute route{AcCategory::Heavy, "A&B</DepartureID>", "\"<X>\""};
    const std::string text = gf_flightPlanText(route);
    EXPECT_NE(text.find("<DepartureID>A&amp;B&lt;/DepartureID&gt;</DepartureID>"), std::string::npos);
    EXPECT_NE(text.find("<DestinationID>&quot;&lt;X&gt;&quot;</DestinationID>"), std::string::npos);
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(text.c_str()));
    const auto plan = document.child("SimBase.Document").child("FlightPlan.FlightPlan");
    EXPECT_EQ(std::string(plan.child_value("DepartureID")), route.origin);
    EXPECT_EQ(std::string(plan.child_value("DestinationID")), route.destination);
}

TEST_F(FlightPlanTest, ThePlanIsGivenToTheSimulator)
{
    startConnected();
    gf_createFlightPlanFolder();
    fakesim::SimObject object;
    object.title = "Placed";
    object.atcId = "DLH400";
    const std::uint32_t objectId = sim->addSimObject(object);
    ASSERT_TRUE(gf_giveFlightPlan(objectId, {AcCategory::Heavy, "EDDF", "KJFK"}, "DLH400"));
    ASSERT_TRUE(waitForRequests("AISetAircraftFlightPlan", 1));
    ASSERT_TRUE(waitFor([&] { return !trace("flight_plan").empty(); }));
    const auto plan = trace("flight_plan").front();
    EXPECT_EQ(plan["object"], objectId);
    EXPECT_EQ(plan["departure"], "EDDF");
    EXPECT_EQ(plan["destination"], "KJFK");
    EXPECT_EQ(plan["plan_type"], "IFR");
    EXPECT_EQ(trace("request", "AISetAircraftFlightPlan").front()["request_id"], 110);

    EXPECT_TRUE(std::filesystem::remove_all(gf_flightPlanFolderPath()) > 0);
    EXPECT_FALSE(gf_giveFlightPlan(objectId, {}, "DLH400"));
    EXPECT_TRUE(logHas("===> DLH400 creating a flight plan failed"));
}

// The worker asks the simulator to read a plan only once its file is written, and a plan deleted
// while it still waits for the worker is never asked for.
TEST_F(FlightPlanTest, TheWorkerAsksForWrittenPlansOnly)
{
    startConnected();
    gf_createFlightPlanFolder();
    std::vector<std::uint32_t> ids;
    for (const char* callsign : {"DLH1", "DLH2", "DLH3"}) {
        fakesim::SimObject object;
        object.title = "Placed";
        object.atcId = callsign;
        ids.push_back(sim->addSimObject(object));
    }
    const auto plan = [](std::uint32_t id) { return gf_flightPlanFolderPath() / gf_flightPlanFileName(id); };
    {
        // The worker writes the first plan, then waits for the lock to ask for it.
        std::lock_guard hold(simConnectMutex);
        gf_queueFlightPlan(ids[0], {AcCategory::Heavy, "EDDF", "KJFK"}, "DLH1");
        gf_queueFlightPlan(ids[1], {AcCategory::Heavy, "EDDM", "KBOS"}, "DLH2");
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(plan(ids[0])); }));
        gf_queueFlightPlanDeletion(ids[1], "DLH2");
    }
    gf_queueFlightPlan(ids[2], {AcCategory::Light, "EDMA", "EDMO"}, "DLH3");
    ASSERT_TRUE(waitFor([&] { return trace("flight_plan").size() >= 2; }));
    const auto plans = trace("flight_plan");
    ASSERT_EQ(plans.size(), 2u);
    EXPECT_EQ(plans[0]["object"], ids[0]);
    EXPECT_EQ(plans[0]["departure"], "EDDF");
    EXPECT_EQ(plans[1]["object"], ids[2]);
    EXPECT_EQ(trace("request", "AISetAircraftFlightPlan").size(), 2u);
    EXPECT_TRUE(trace("flight_plan_failed").empty());
    EXPECT_FALSE(std::filesystem::exists(plan(ids[1])));

    gf_queueFlightPlanDeletion(ids[0], "DLH1");
    gf_waitForFlightPlans();
    EXPECT_FALSE(std::filesystem::exists(plan(ids[0])));
    EXPECT_TRUE(std::filesystem::exists(plan(ids[2])));
    EXPECT_TRUE(gf_removeFlightPlanFolder());
}

} // namespace
} // namespace simlinktest
