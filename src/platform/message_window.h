#pragma once
// Stand-in for a window handle that other threads post messages to (PostMessageW): the window
// implements postMessage, which must only queue the message for the window's own thread.

#include <cstdint>

namespace platform {

class MessageWindow {
public:
    virtual ~MessageWindow() = default;
    virtual void postMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

} // namespace platform
