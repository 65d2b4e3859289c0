#include "app/app_messages.h"

#include "app/gui_queue.h"

#include <atomic>

namespace {

std::atomic<AppMessageHandler> appMessageHandler{nullptr};
std::atomic<platform::MessageWindow*> appMessageWindow{nullptr};

} // namespace

void gf_setAppMessageHandler(AppMessageHandler handler)
{
    appMessageHandler.store(handler);
}

void gf_setAppMessageWindow(platform::MessageWindow* window)
{
    appMessageWindow.store(window);
}

void gf_deliverAppMessage(AppMessage message)
{
    if (AppMessageHandler handler = appMessageHandler.load())
        handler(message);
}

void gf_queueAppMessage(AppMessage message)
{
    if (platform::MessageWindow* window = appMessageWindow.load()) {
        window->postMessage(static_cast<std::uint32_t>(message), 0, 0);
        return;
    }
    gf_postToGui([message] { gf_deliverAppMessage(message); });
}
