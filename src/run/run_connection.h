#pragma once
// One connected run of the work thread: the simulator connection, the user aircraft's data, the
// link to the RealTraffic client, the two readers and the wait for the first traffic; then the
// main loop on the same thread.

void lf_runConnection();
// Waits for the simulator and a known user position; false when an exit was requested meanwhile.
bool lf_requestUserAcData();
