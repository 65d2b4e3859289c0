#include "core/exceptions.h"

#include <fmt/format.h>

namespace qmx {

UserErrorException::UserErrorException(std::uint32_t code, const std::string& message)
    : std::runtime_error(code == 99 ? message : fmt::format("{}: ", code) + message)
{
}

SysErrorException::SysErrorException(std::uint32_t code, const std::string& message)
    : std::runtime_error(fmt::format("sys error {}: ", code) + message)
{
}

} // namespace qmx

namespace win32 {

Utf8ConversionException::Utf8ConversionException(const char* message, std::uint32_t errorCode,
                                                 std::uint32_t direction)
    : std::runtime_error(message), errorCode_(errorCode), direction_(direction)
{
}

} // namespace win32

namespace winreg {

RegException::RegException(long errorCode, const char* message)
    : std::system_error(std::error_code(static_cast<int>(errorCode), std::system_category()), message)
{
}

} // namespace winreg

std::overflow_error gf_makeLengthOverflowError()
{
    return std::overflow_error("Input string too long: size_t-length doesn't fit into int.");
}
