#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The integer of the manifest's third field: leading spaces, at most one sign, then decimal
// digits within the signed 32-bit range or hexadecimal digits after "$", "x", "X", "0x" or "0X"
// up to FFFFFFFF, taken as their 32-bit pattern before the sign applies. Nothing may follow.
std::optional<int32_t> ParseManifestNumber(std::string_view text);
