#pragma once
// The lines of the add-on airport scan's log (AirportsScanLog.txt) and the scan's result flag,
// kept here because the publisher lookup of the model data reports into it as well.
// Every scan task reports what it finds and rejects here; the scan driver writes the lines out
// and empties the list once no task is left.

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// In the order they were added. Guarded by scanMessagesMutex; filled through gf_addScanMessage.
extern std::vector<std::string> scanMessages;
extern std::mutex scanMessagesMutex;

// Set when a scanned airport was linked to the archive or got a generated file; never cleared.
extern std::atomic<bool> g_addonAirportsFound;

// Appends one line; callable from any thread. The mutex is held for the append alone.
void gf_addScanMessage(std::string_view text);

// While a batch is open on a thread, that thread's lines are held back and added together when
// the batch closes, so that code holding another lock of the scan never takes the message lock
// inside it. Open the batch before taking that lock.
class ScanMessageBatch {
public:
    ScanMessageBatch();
    ~ScanMessageBatch();
    ScanMessageBatch(const ScanMessageBatch&) = delete;
    ScanMessageBatch& operator=(const ScanMessageBatch&) = delete;

private:
    std::vector<std::string> held_;
    std::vector<std::string>* outer_;
};

// Hands the lines over to the writer of the scan log and leaves the list empty.
std::vector<std::string> gf_takeScanMessages();
