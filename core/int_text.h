#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace mx {

// Converts a number text to a 32-bit integer: leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x" or "0x" (either case), and nothing after the
// digits. Hexadecimal values up to FFFFFFFF wrap into the negative range; decimal values
// outside the 32-bit range do not convert.
std::optional<std::int32_t> tryStrToInt(const QString& text);

// As tryStrToInt, but a text that does not convert throws ConvertError with the message
// "'<text>' is not a valid integer value".
std::int32_t StrToInt(const QString& text);

}  // namespace mx
