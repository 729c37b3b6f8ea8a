#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Reading of the few answer fields that decide whether a download is what it claims to be.
bool IsSecureUrl(const std::string& url);
std::optional<uint32_t> ParseStatusCode(const std::string& text);
bool IsSuccessStatus(uint32_t code);
// A Content-Length value: decimal digits only, as HTTP allows.
std::optional<uint64_t> ParseContentLength(const std::string& text);
