#include "platform/fatal_message.h"

#include <iostream>

namespace platform {

void showFatalError(std::string_view title, std::string_view text)
{
    std::cerr << title << ": " << text << '\n';
}

} // namespace platform
