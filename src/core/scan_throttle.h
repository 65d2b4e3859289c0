#pragma once
// Keeps the number of scan tasks that run at once near the number of hardware threads. A
// scanner waits for a slot, raises the count itself when it launches a task, and every task
// gives its slot back when it ends. The test and the raise are two steps, so two scanners may
// briefly run one task more than the limit.

#include <atomic>
#include <cstdint>

extern std::atomic<std::int32_t> g_scanTasksRunning;
extern std::atomic<std::int32_t> g_scanTasksLimit;

// Before the scans: the limit := the number of hardware threads (at least 1), the count := 0.
void gf_initScanThrottle();
// Returns once fewer tasks than the limit run, without time-out; it sleeps until a task ends.
void gf_waitForScanSlot();
// One task less.
void gf_releaseScanSlot();

// Gives a scan slot back exactly once, when the task's function is left by any way.
class ScanSlotRelease {
public:
    ScanSlotRelease() = default;
    ~ScanSlotRelease() { gf_releaseScanSlot(); }
    ScanSlotRelease(const ScanSlotRelease&) = delete;
    ScanSlotRelease& operator=(const ScanSlotRelease&) = delete;
};
