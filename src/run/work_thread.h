#pragma once
// The work thread runs the start-up, the run and the main loop; one is started per start or
// restart and detached at once. The exit machine waits for it to end before a restart resets
// the tables it works on.

#include <chrono>

// Marks the calling thread as the work thread for the life of the object.
class WorkThreadScope {
public:
    WorkThreadScope();
    ~WorkThreadScope();
    WorkThreadScope(const WorkThreadScope&) = delete;
    WorkThreadScope& operator=(const WorkThreadScope&) = delete;
};

bool gf_workThreadRunning();
// True when no work thread runs (any more) before the deadline.
bool gf_waitForWorkThreadEnd(std::chrono::milliseconds timeout);
