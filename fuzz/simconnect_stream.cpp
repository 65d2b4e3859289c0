// The simulator's receive stream: cut into messages by the transport's receive buffer and each
// whole message handed to the dispatch procedure, as the SimConnect thread does. The first byte
// of the input chooses how the stream arrives in reads and, by its lowest bit, whether the
// RealTraffic client is the professional edition (whose traffic clock reads the user block's zulu
// date); the rest is the stream.

#include "core/clock.h"
#include "core/exceptions.h"
#include "harness.h"
#include "run/exit.h"
#include "simconnect/simconnect_transport.h"
#include "simlink/sim_internal.h"
#include "support/test_seams.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr std::uint32_t kMaxReceiveSize = 41088;

// A message may ask for a restart; the exit machine then stays at its first step, so that the
// process keeps its state and the next input runs as the last one did.
void lf_holdExitMachine()
{
    static const bool held = [] {
        gf_setExitStepObserver([](std::string_view) {
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        });
        return true;
    }();
    (void)held;
}

void lf_dispatch(std::vector<std::uint8_t>&& message)
{
    try {
        lf_dispatchProc(reinterpret_cast<qmx::SIMCONNECT_RECV*>(message.data()),
                        static_cast<std::uint32_t>(message.size()), nullptr);
    } catch (const qmx::UserErrorException&) {
        // The SimConnect thread reports these and ends the connection.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzing::prepareWorkingFolder();
    lf_holdExitMachine();
    if (size == 0)
        return 0;
    const std::size_t readSize = 1 + static_cast<std::size_t>(data[0]) * 17;
    g_professionalEdition = (data[0] & 1) != 0;
    lf_resetDispatchState();
    qmx::SimConnectReceiveBuffer buffer(kMaxReceiveSize);
    for (std::size_t pos = 1; pos < size;) {
        const auto space = buffer.freeSpace();
        const std::size_t count = std::min({readSize, space.size(), size - pos});
        std::memcpy(space.data(), data + pos, count);
        pos += count;
        if (buffer.commit(count, lf_dispatch) != qmx::kCloseOrderly)
            break; // the transport closes here
    }
    return 0;
}
