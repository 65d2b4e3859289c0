#pragma once
// The engine's tables and queues emptied before and after every test, no SimConnect requests
// (no simulator here), and helpers to make records and messages.

#include "engine/ac_identity.h"
#include "engine/ac_records.h"
#include "engine/update_pass.h"
#include "params/park_airport.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "support/params_fixture.h"
#include "traffic/traffic_queue.h"

namespace enginetest {

class EngineTest : public paramstest::ParamsTest {
protected:
    void SetUp() override
    {
        ParamsTest::SetUp();
        reset();
    }
    void TearDown() override
    {
        // The flight-plan thread writes and deletes its files in the test's folder: its jobs are
        // done before the folder goes, or the folder's removal meets files that come and go.
        gf_waitForFlightPlans();
        reset();
        ParamsTest::TearDown();
    }
    static void reset()
    {
        gf_resetEngineQueues();
        gf_setParkAirport({});
        simConnectFailed = true;
        userAc = {};
    }

    static StreamPosition position(double lat, double lon, double groundSpeed = 10.0, std::int32_t due = 0)
    {
        StreamPosition p;
        p.lat = lat;
        p.lon = lon;
        p.groundSpeed = groundSpeed;
        p.duePass = due;
        return p;
    }

    // A live aircraft appended to the table.
    static LiveAc& addLive(std::uint32_t hexId, AcState state, AcPhase phase, const StreamPosition& first,
                           std::uint32_t objectId = 0)
    {
        AcIdentity id;
        id.airline = "DLH";
        id.type = "A320";
        id.callsign = "DLH" + std::to_string(hexId % 1000);
        AcDescription desc = gf_makeAircraftDescription(id);
        desc.key = hexId;
        LiveAc& ac = liveAcTable.emplace_back(first, std::move(desc), 1000.0);
        ac.state = state;
        ac.phase = phase;
        liveAcTable.setObjectId(ac, objectId);
        ac.pose.latitude = first.lat;
        ac.pose.longitude = first.lon;
        return ac;
    }

    static TrafficMessage message(std::uint32_t hexId, double time, double lat, double lon, double groundSpeed)
    {
        TrafficMessage m;
        m.hexId = hexId;
        m.time = time;
        m.identity.type = "C172";
        m.identity.callsign = "N123";
        m.position = position(lat, lon, groundSpeed);
        return m;
    }
};

} // namespace enginetest
