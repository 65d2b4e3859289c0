#include "engine/air_movement.h"

#include "engine/traffic_queue.h"

#include <algorithm>

// Until the full leg planning is built, a leg is a straight line at constant altitude to the new
// oldest position, reached at its due pass; take-off and flare leave the attitude alone.
void nextPosMain(LiveAc& ac)
{
    ac.stream.pop_front();
    ac.latStep = ac.lonStep = ac.altitudeStep = ac.headingStep = 0.0;
    if (ac.stream.empty())
        return;
    const StreamPosition& target = ac.stream.front();
    const double passes = std::max(target.duePass - passCounter.load(), 25);
    ac.latStep = (target.lat - ac.pose.latitude) / passes;
    ac.lonStep = (target.lon - ac.pose.longitude) / passes;
    ac.legSpeed = target.groundSpeed;
    ac.verticalRate = target.verticalSpeed;
}

void lf_flareStep(LiveAc& /*ac*/) {}

void lf_takeoffStep(LiveAc& /*ac*/) {}

void lf_startTakeoffRun(LiveAc& ac)
{
    ac.takeoffRun = 1;
}
