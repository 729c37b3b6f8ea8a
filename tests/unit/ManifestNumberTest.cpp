#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ManifestBuilder.h"
#include "manifest/ManifestNumber.h"

namespace {

using namespace manifest_test;

// Each form is checked on its own and as the third field of a record, which it keeps in the
// table or drops from it.
TEST(ManifestNumber, AcceptsDecimalAndPrefixedHexadecimalForms) {
  const struct {
    std::string text;
    std::optional<int32_t> value;
  } cases[] = {
      {"0", 0},
      {"7", 7},
      {"00012", 12},
      {"-0", 0},
      {"+5", 5},
      {"-5", -5},
      {"   42", 42},
      {" -7", -7},
      {"2147483647", INT32_MAX},
      {"+2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"0000000000002147483647", INT32_MAX},
      {"$10", 16},
      {"x1f", 31},
      {"X1F", 31},
      {"0x10", 16},
      {"0XaBc", 0xABC},
      {"  $0", 0},
      {"$000000000FF", 255},
      {"$7FFFFFFF", INT32_MAX},
      {"$80000000", INT32_MIN},
      {"$FFFFFFFF", -1},
      {"-$10", -16},
      {"+0x10", 16},
      {"-$FFFFFFFF", 1},
      {"-0x80000000", INT32_MIN},

      {"", std::nullopt},
      {"   ", std::nullopt},
      {"\t5", std::nullopt},
      {"5 ", std::nullopt},
      {"5\t", std::nullopt},
      {"5\r\n", std::nullopt},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"+-5", std::nullopt},
      {"--5", std::nullopt},
      {"- 5", std::nullopt},
      {"5-", std::nullopt},
      {"1,000", std::nullopt},
      {"1e3", std::nullopt},
      {"abc", std::nullopt},
      {"FF", std::nullopt},
      {"1a", std::nullopt},
      {"$", std::nullopt},
      {"x", std::nullopt},
      {"0x", std::nullopt},
      {"-$", std::nullopt},
      {"$ 5", std::nullopt},
      {"$-5", std::nullopt},
      {"0x-5", std::nullopt},
      {"$G", std::nullopt},
      {"0b101", std::nullopt},
      {"00x10", std::nullopt},
      {"$100000000", std::nullopt},
      {"0xFFFFFFFFF", std::nullopt},
      {"$FF ", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    EXPECT_EQ(ParseManifestNumber(c.text), c.value);

    const std::vector<Entry> entries = Parse(ManifestOf({{"local", "remote", c.text}}));
    if (c.value) {
      EXPECT_EQ(entries, (std::vector<Entry>{{"local", "remote", *c.value}}));
    } else {
      EXPECT_TRUE(entries.empty());
    }
  }
}

}  // namespace
