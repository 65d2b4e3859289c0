#include "core/shell_port.h"

#include "core/log.h"

#include <mutex>

namespace {

std::mutex sinkMutex;
MessageSink messageSink;

} // namespace

void gf_setMessageSink(MessageSink sink)
{
    std::lock_guard lock(sinkMutex);
    messageSink = std::move(sink);
}

void gf_reportMessage(const std::string& text, bool log)
{
    MessageSink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = messageSink;
    }
    // Called outside the lock: the sink takes locks of its own.
    if (sink)
        sink(text, log);
    else if (!text.empty())
        gf_log(text);
}
