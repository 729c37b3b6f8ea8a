#pragma once

#include <string_view>

// The words and separators of map.txt.sig, for its reader and its writer.
namespace signature_words {
constexpr char kLineEnd = '\n';
constexpr char kSeparator = ' ';
constexpr std::string_view kRelease = "release";
constexpr std::string_view kManifest = "manifest";
constexpr std::string_view kFile = "file";
constexpr std::string_view kSignature = "signature";
}  // namespace signature_words
