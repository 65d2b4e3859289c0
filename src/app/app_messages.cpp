#include "app/app_messages.h"

#include "app/gui_queue.h"

#include <atomic>

namespace {

std::atomic<AppMessageHandler> appMessageHandler{nullptr};

void lf_deliverAppMessage(AppMessage message)
{
    if (AppMessageHandler handler = appMessageHandler.load())
        handler(message);
}

} // namespace

void gf_setAppMessageHandler(AppMessageHandler handler)
{
    appMessageHandler.store(handler);
}

void gf_queueAppMessage(AppMessage message)
{
    gf_postToGui([message] { lf_deliverAppMessage(message); });
}
