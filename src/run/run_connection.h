#pragma once
// One connected run of the work thread: the simulator connection, the user aircraft's data, the
// link to the RealTraffic client, the two readers and the wait for the first traffic; then the
// main loop on the same thread.

#include "traffic/traffic_reader.h"

#include <cstdint>

void lf_runConnection();
// Waits for the simulator and a known user position; false when an exit was requested meanwhile.
bool lf_requestUserAcData();
// Starts the QNH reader, and the traffic reader after a pause that lets the QNH in first. The
// traffic lines are refused from here until the main loop runs: a line queued before its passes
// count would fall due with all the others at once.
void lf_startReaders(std::uint16_t qnhPort = kQnhPort, std::uint16_t trafficPort = kTrafficPort);
