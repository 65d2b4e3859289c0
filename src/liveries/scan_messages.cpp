#include "liveries/scan_messages.h"

namespace {

constexpr std::size_t kScanMessagesReserve = 2048;

std::vector<std::string> lf_reservedMessages()
{
    std::vector<std::string> messages;
    messages.reserve(kScanMessagesReserve);
    return messages;
}

thread_local std::vector<std::string>* heldMessages = nullptr;

} // namespace

std::vector<std::string> scanMessages = lf_reservedMessages();
std::mutex scanMessagesMutex;
std::atomic<bool> g_addonAirportsFound{false};

void gf_addScanMessage(std::string_view text)
{
    std::string line(text); // copied before the lock, so the lock covers the append alone
    if (heldMessages != nullptr) {
        heldMessages->push_back(std::move(line));
        return;
    }
    std::lock_guard lock(scanMessagesMutex);
    scanMessages.push_back(std::move(line));
}

std::vector<std::string> gf_takeScanMessages()
{
    std::vector<std::string> taken = lf_reservedMessages();
    std::lock_guard lock(scanMessagesMutex);
    taken.swap(scanMessages);
    return taken;
}

ScanMessageBatch::ScanMessageBatch() : outer_(heldMessages)
{
    heldMessages = &held_;
}

ScanMessageBatch::~ScanMessageBatch()
{
    heldMessages = outer_;
    for (const std::string& line : held_)
        gf_addScanMessage(line);
}
