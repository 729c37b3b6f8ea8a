#include "manifest/ManifestSignature.h"

#include <optional>

#include "manifest/Manifest.h"
#include "manifest/ManifestSignatureWords.h"

namespace {

using namespace signature_words;

constexpr uint32_t kLargestRelease = 4294967295u;
constexpr size_t kLongestNumber = 10;  // digits of kLargestRelease

bool IsControlByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The document's lines, one after the other.
class LineReader {
 public:
  LineReader(const uint8_t* bytes, size_t length)
      : text_(reinterpret_cast<const char*>(bytes), length) {}

  bool AtEnd() const { return offset_ == text_.size(); }
  size_t Offset() const { return offset_; }
  // The number of the line that Next reads next, or last read.
  size_t Number() const { return number_; }

  // The next line without its line end. False when it has no line end or holds a control byte.
  bool Next(std::string_view& line) {
    ++number_;
    const size_t end = text_.find(kLineEnd, offset_);
    line = text_.substr(offset_, end == std::string_view::npos ? end : end - offset_);
    offset_ = end == std::string_view::npos ? text_.size() : end + 1;
    if (end == std::string_view::npos) return false;
    for (char c : line) {
      if (IsControlByte(c)) return false;
    }
    return true;
  }

 private:
  std::string_view text_;
  size_t offset_ = 0;
  size_t number_ = 0;
};

// Takes word and the separator after it off the front of line.
bool TakeKeyword(std::string_view& line, std::string_view word) {
  if (line.size() <= word.size() || line.substr(0, word.size()) != word ||
      line[word.size()] != kSeparator) {
    return false;
  }
  line.remove_prefix(word.size() + 1);
  return true;
}

// Takes the text up to the next separator, and the separator, off the front of line.
bool TakeWord(std::string_view& line, std::string_view& word) {
  const size_t end = line.find(kSeparator);
  if (end == std::string_view::npos) return false;
  word = line.substr(0, end);
  line.remove_prefix(end + 1);
  return true;
}

// Decimal digits without a leading zero, up to largest.
std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t largest) {
  if (text.empty() || text.size() > kLongestNumber || (text[0] == '0' && text.size() > 1)) {
    return std::nullopt;
  }
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > largest) return std::nullopt;
  return static_cast<uint32_t>(value);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <size_t N>
bool ParseHex(std::string_view text, std::array<uint8_t, N>& bytes) {
  if (text.size() != 2 * N) return false;
  for (size_t i = 0; i < N; ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<uint8_t>(high * 16 + low);
  }
  return true;
}

// "SIZE HASH" on the manifest's line; "SIZE HASH NAME" on a file's, where the name runs to the
// end of the line and may hold spaces.
bool ParseSignedFile(std::string_view line, bool named, SignedFile& file) {
  std::string_view size;
  std::string_view hash;
  if (!TakeWord(line, size)) return false;
  if (named) {
    if (!TakeWord(line, hash) || line.size() > kLongestManifestField) return false;
    file.remoteName = line;
  } else {
    hash = line;
  }
  const std::optional<uint32_t> value = ParseNumber(size, static_cast<uint32_t>(kLargestDownload));
  if (!value || !ParseHex(hash, file.sha256)) return false;
  file.size = *value;
  return true;
}

}  // namespace

SignatureFault ParseManifestSignature(const uint8_t* bytes, size_t length,
                                      ManifestSignature& signature, size_t* faultLine) {
  LineReader lines(bytes, length);
  const auto fail = [&lines, faultLine](SignatureFault fault) {
    // A document cut short is at fault where its next line should be.
    if (faultLine) *faultLine = lines.Number() + (fault == SignatureFault::kNoSignature ? 1 : 0);
    return fault;
  };
  if (length > kLargestSignatureDocument) return fail(SignatureFault::kTooLarge);

  std::string_view line;
  const bool whole = lines.Next(line);
  if (!TakeKeyword(line, kSignatureFormat)) return fail(SignatureFault::kNotThisFormat);
  if (!whole) return fail(SignatureFault::kMalformedLine);
  if (line != kSignatureVersion) return fail(SignatureFault::kOtherVersion);

  ManifestSignature parsed;
  std::optional<uint32_t> release;
  if (lines.AtEnd()) return fail(SignatureFault::kNoSignature);
  if (!lines.Next(line) || !TakeKeyword(line, kRelease) ||
      !(release = ParseNumber(line, kLargestRelease))) {
    return fail(SignatureFault::kMalformedLine);
  }
  parsed.release = *release;
  if (lines.AtEnd()) return fail(SignatureFault::kNoSignature);
  if (!lines.Next(line) || !TakeKeyword(line, kManifest) ||
      !ParseSignedFile(line, false, parsed.manifest)) {
    return fail(SignatureFault::kMalformedLine);
  }

  for (;;) {
    if (lines.AtEnd()) return fail(SignatureFault::kNoSignature);
    const size_t lineStart = lines.Offset();
    if (!lines.Next(line)) return fail(SignatureFault::kMalformedLine);
    if (TakeKeyword(line, kSignature)) {
      if (!ParseHex(line, parsed.signature)) return fail(SignatureFault::kMalformedLine);
      parsed.signedLength = lineStart;
      break;
    }
    SignedFile file;
    if (!TakeKeyword(line, kFile) || !ParseSignedFile(line, true, file)) {
      return fail(SignatureFault::kMalformedLine);
    }
    if (FindSignedFile(parsed, file.remoteName)) return fail(SignatureFault::kRepeatedName);
    if (parsed.files.size() == kMaxManifestEntries) return fail(SignatureFault::kTooManyFiles);
    parsed.files.push_back(std::move(file));
  }
  if (!lines.AtEnd()) {
    lines.Next(line);
    return fail(SignatureFault::kBytesAfterSignature);
  }
  signature = std::move(parsed);
  return SignatureFault::kNone;
}

const SignedFile* FindSignedFile(const ManifestSignature& signature, std::string_view remoteName) {
  for (const SignedFile& file : signature.files) {
    if (file.remoteName == remoteName) return &file;
  }
  return nullptr;
}
