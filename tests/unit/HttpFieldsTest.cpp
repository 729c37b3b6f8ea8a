#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "engine/HttpFields.h"

namespace {

// Only an https address counts as secure, whatever the case of its scheme.
TEST(HttpFields, OnlyHttpsAddressesAreSecure) {
  const struct {
    std::string url;
    bool secure;
  } cases[] = {
      {"https://download.corvanta.example/installs/cvn/map.txt", true},
      {"HTTPS://download.corvanta.example/", true},
      {"HtTpS://x", true},
      {"http://download.corvanta.example/installs/cvn/map.txt", false},
      {"https:/download.corvanta.example/", false},
      {"https:", false},
      {"ftp://download.corvanta.example/", false},
      {" https://download.corvanta.example/", false},
      {"httpsx://download.corvanta.example/", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsSecureUrl(c.url), c.secure) << c.url;
}

TEST(HttpFields, StatusCodesAreThreeDigitsAtMostAndOnly2xxSucceeds) {
  const struct {
    std::string text;
    std::optional<uint32_t> code;
  } cases[] = {
      {"200", 200}, {"206", 206}, {"404", 404}, {"999", 999}, {"0", 0},
      {"1000", std::nullopt}, {"", std::nullopt}, {"20 0", std::nullopt},
      {" 200", std::nullopt}, {"-200", std::nullopt}, {"2x0", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseStatusCode(c.text), c.code) << c.text;

  for (uint32_t code : {199u, 300u, 302u, 304u, 404u, 500u}) {
    EXPECT_FALSE(IsSuccessStatus(code)) << code;
  }
  for (uint32_t code : {200u, 201u, 204u, 299u}) EXPECT_TRUE(IsSuccessStatus(code)) << code;
}

// A declared length is decimal digits, with blanks around them tolerated; anything else means
// the length is unknown.
TEST(HttpFields, ContentLengthIsDecimalDigitsOnly) {
  const struct {
    std::string text;
    std::optional<uint64_t> length;
  } cases[] = {
      {"0", 0},
      {"15999999", 15999999},
      {"16000000", 16000000},
      {" 42 ", 42},
      {"\t7", 7},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {"1 2", std::nullopt},
      {"0x10", std::nullopt},
      {"12, 12", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseContentLength(c.text), c.length) << c.text;
}

}  // namespace
