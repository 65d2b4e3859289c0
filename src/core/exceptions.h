#pragma once
// The program's two exception types and the error types of its Windows glue.
// Every throw site of the two program types passes its own numeric code, unique in the program,
// so that a text on the message line or in the log names the site.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qmx {

// Something the user must act on; shown on the message line, the program goes on.
// Code 99 is not shown: the text is the message alone.
class UserErrorException : public std::runtime_error {
public:
    UserErrorException(std::uint32_t code, const std::string& message);
};

// A failure of the operating system or of input data.
class SysErrorException : public std::runtime_error {
public:
    SysErrorException(std::uint32_t code, const std::string& message);
};

} // namespace qmx

namespace win32 {

// A failed UTF-8 <-> UTF-16 conversion. direction: 1 = UTF-16 to UTF-8, 0 = UTF-8 to UTF-16.
class Utf8ConversionException : public std::runtime_error {
public:
    Utf8ConversionException(const char* message, std::uint32_t errorCode, std::uint32_t direction);
    std::uint32_t errorCode() const noexcept { return errorCode_; }
    std::uint32_t direction() const noexcept { return direction_; }

private:
    std::uint32_t errorCode_;
    std::uint32_t direction_;
};

inline constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;
inline constexpr std::uint32_t kDirectionUtf16ToUtf8 = 1;
inline constexpr std::uint32_t kDirectionUtf8ToUtf16 = 0;

} // namespace win32

namespace winreg {

// A failed registry call; the text is the message, ": " and the system's text for the error.
class RegException : public std::system_error {
public:
    RegException(long errorCode, const char* message);
};

} // namespace winreg

// The error of a text whose length does not fit a 32-bit signed int.
std::overflow_error gf_makeLengthOverflowError();
