#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "manifest/Manifest.h"
#include "manifest/ManifestSignature.h"

namespace {

const uint8_t* BytesOf(const std::string& text) {
  return reinterpret_cast<const uint8_t*>(text.data());
}

std::string Hex(char digit, size_t bytes) { return std::string(2 * bytes, digit); }

const std::string kHashA = Hex('a', kSha256Size);
const std::string kHashB = Hex('b', kSha256Size);
// r and s each with a leading zero byte, as about one signature in a hundred has: they keep
// their full 32 bytes.
const std::string kSignature = "00" + Hex('1', 31) + "00" + Hex('2', 31);
const std::string kHead = "corvanta-manifest-signature 1\nrelease 7\nmanifest 1234 " + kHashA + "\n";
const std::string kFiles = "file 40000 " + kHashB + " Corvanta.exe\n"
                           "file 0 " + kHashA + " Help/Corvanta%20Guide.chm\n"
                           "file 5 " + kHashB + " Data/a name with spaces.txt\n";
const std::string kSignatureLine = "signature " + kSignature + "\n";
const std::string kDocument = kHead + kFiles + kSignatureLine;

SignatureFault FaultOf(const std::string& document, size_t* line = nullptr) {
  ManifestSignature signature;
  return ParseManifestSignature(BytesOf(document), document.size(), signature, line);
}

TEST(ManifestSignature, ReadsEveryLineOfADocument) {
  ManifestSignature signature;
  ASSERT_EQ(ParseManifestSignature(BytesOf(kDocument), kDocument.size(), signature),
            SignatureFault::kNone);
  EXPECT_EQ(signature.release, 7u);
  EXPECT_EQ(signature.manifest.size, 1234u);
  EXPECT_EQ(LowercaseHex(signature.manifest.sha256.data(), kSha256Size), kHashA);
  ASSERT_EQ(signature.files.size(), 3u);
  EXPECT_EQ(signature.files[0].remoteName, "Corvanta.exe");
  EXPECT_EQ(signature.files[0].size, 40000u);
  EXPECT_EQ(LowercaseHex(signature.files[0].sha256.data(), kSha256Size), kHashB);
  EXPECT_EQ(signature.files[1].remoteName, "Help/Corvanta%20Guide.chm");
  EXPECT_EQ(signature.files[1].size, 0u);
  EXPECT_EQ(signature.files[2].remoteName, "Data/a name with spaces.txt");
  EXPECT_EQ(LowercaseHex(signature.signature.data(), kP256SignatureSize), kSignature);
  EXPECT_EQ(signature.signedLength, kHead.size() + kFiles.size());

  ASSERT_NE(FindSignedFile(signature, "Corvanta.exe"), nullptr);
  EXPECT_EQ(FindSignedFile(signature, "Corvanta.exe")->size, 40000u);
  EXPECT_EQ(FindSignedFile(signature, "corvanta.exe"), nullptr);
  EXPECT_EQ(FindSignedFile(signature, "Help/Corvanta Guide.chm"), nullptr);
}

TEST(ManifestSignature, WritesWhatItReads) {
  ManifestSignature signature;
  ASSERT_EQ(ParseManifestSignature(BytesOf(kDocument), kDocument.size(), signature),
            SignatureFault::kNone);
  EXPECT_EQ(ComposeSignedPart(signature.release, signature.manifest, signature.files) +
                ComposeSignatureLine(signature.signature),
            kDocument);
}

TEST(ManifestSignature, NumbersReachTheirLimits) {
  const std::string largest = "corvanta-manifest-signature 1\nrelease 4294967295\nmanifest "
                              "15999999 " + kHashA + "\nfile 15999999 " + kHashA + " \n" +
                              kSignatureLine;
  ManifestSignature signature;
  ASSERT_EQ(ParseManifestSignature(BytesOf(largest), largest.size(), signature),
            SignatureFault::kNone);
  EXPECT_EQ(signature.release, 4294967295u);
  EXPECT_EQ(signature.files[0].size, 15999999u);
  EXPECT_EQ(signature.files[0].remoteName, "") << "an empty RemoteName is a name";
}

TEST(ManifestSignature, RefusesEveryOtherSpelling) {
  const std::string longestName(kLongestManifestField, 'n');
  const struct {
    std::string document;
    SignatureFault fault;
    size_t line;
  } cases[] = {
      {"", SignatureFault::kNotThisFormat, 1},
      {"corvanta-manifest-signature 1", SignatureFault::kMalformedLine, 1},
      {"corvanta-manifest-signature 1\n", SignatureFault::kNoSignature, 2},
      {"Corvanta-manifest-signature 1\n", SignatureFault::kNotThisFormat, 1},
      {"\xEF\xBB\xBF" + kDocument, SignatureFault::kNotThisFormat, 1},
      {"corvanta-manifest-signature 2\n" + kDocument.substr(30), SignatureFault::kOtherVersion, 1},
      {"corvanta-manifest-signature 1.0\n" + kDocument.substr(30), SignatureFault::kOtherVersion,
       1},
      {"corvanta-manifest-signature 1\r\n" + kDocument.substr(30), SignatureFault::kMalformedLine,
       1},
      // Each line as it must be written.
      {kHead.substr(0, 30) + "release 07\n" + kHead.substr(40) + kSignatureLine,
       SignatureFault::kMalformedLine, 2},
      {kHead.substr(0, 30) + "release -7\n" + kHead.substr(40) + kSignatureLine,
       SignatureFault::kMalformedLine, 2},
      {kHead.substr(0, 30) + "release 4294967296\n" + kHead.substr(40) + kSignatureLine,
       SignatureFault::kMalformedLine, 2},
      {kHead.substr(0, 30) + "release  7\n" + kHead.substr(40) + kSignatureLine,
       SignatureFault::kMalformedLine, 2},
      {kHead.substr(0, 30) + "release 7 \n" + kHead.substr(40) + kSignatureLine,
       SignatureFault::kMalformedLine, 2},
      {kHead.substr(0, 40) + "manifest 1234 " + Hex('A', kSha256Size) + "\n" + kSignatureLine,
       SignatureFault::kMalformedLine, 3},
      {kHead.substr(0, 40) + "manifest 1234 " + kHashA.substr(2) + "\n" + kSignatureLine,
       SignatureFault::kMalformedLine, 3},
      {kHead.substr(0, 40) + "manifest 16000000 " + kHashA + "\n" + kSignatureLine,
       SignatureFault::kMalformedLine, 3},
      {kHead.substr(0, 40) + "manifest 1234 " + kHashA + " map.txt\n" + kSignatureLine,
       SignatureFault::kMalformedLine, 3},
      {kHead + "file 5 " + kHashB + "\n" + kSignatureLine, SignatureFault::kMalformedLine, 4},
      {kHead + "file 5 " + kHashB + " a\tb\n" + kSignatureLine, SignatureFault::kMalformedLine, 4},
      {kHead + "file 5 " + kHashB + " a\r\n" + kSignatureLine, SignatureFault::kMalformedLine, 4},
      {kHead + "file 5 " + kHashB + " " + longestName + "n\n" + kSignatureLine,
       SignatureFault::kMalformedLine, 4},
      {kHead + "File 5 " + kHashB + " a\n" + kSignatureLine, SignatureFault::kMalformedLine, 4},
      {kHead + "signature " + kSignature.substr(2) + "\n", SignatureFault::kMalformedLine, 4},
      {kHead + "signature " + kSignature + "00\n", SignatureFault::kMalformedLine, 4},
      {kHead + "signature " + kSignature, SignatureFault::kMalformedLine, 4},
      // The order and the number of lines.
      {kHead.substr(0, 30) + kHead.substr(40) + kSignatureLine, SignatureFault::kMalformedLine, 2},
      {kHead + kFiles, SignatureFault::kNoSignature, 7},
      {kHead + kFiles + "file 5 " + kHashB + " Corvanta.exe\n" + kSignatureLine,
       SignatureFault::kRepeatedName, 7},
      {kDocument + "\n", SignatureFault::kBytesAfterSignature, 8},
      {kDocument + kSignatureLine, SignatureFault::kBytesAfterSignature, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.document);
    size_t line = 0;
    EXPECT_EQ(FaultOf(c.document, &line), c.fault);
    EXPECT_EQ(line, c.line);
  }
}

TEST(ManifestSignature, NamesNoMoreFilesThanAManifestHasEntries) {
  std::string files;
  for (size_t i = 0; i < kMaxManifestEntries; ++i) {
    files += "file 1 " + kHashA + " f" + std::to_string(i) + "\n";
  }
  EXPECT_EQ(FaultOf(kHead + files + kSignatureLine), SignatureFault::kNone);
  size_t line = 0;
  EXPECT_EQ(FaultOf(kHead + files + "file 1 " + kHashA + " more\n" + kSignatureLine, &line),
            SignatureFault::kTooManyFiles);
  EXPECT_EQ(line, 4 + kMaxManifestEntries);
}

TEST(ManifestSignature, IsNoLargerThanItsBuffer) {
  // Whatever the bytes, a document that fills the setup's buffer is refused for its size.
  std::string document(kLargestSignatureDocument, 'x');
  EXPECT_NE(FaultOf(document), SignatureFault::kTooLarge);
  document += 'x';
  size_t line = 99;
  EXPECT_EQ(FaultOf(document, &line), SignatureFault::kTooLarge);
  EXPECT_EQ(line, 0u);
}

}  // namespace
