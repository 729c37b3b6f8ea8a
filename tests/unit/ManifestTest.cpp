#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ManifestBuilder.h"
#include "manifest/Manifest.h"

namespace {

using namespace manifest_test;

std::string Repeat(char c, size_t count) { return std::string(count, c); }

TEST(ManifestFile, IsAcceptedOnlyWhenLongerThanEightBytesBetweenBeginAndEnd) {
  const struct {
    std::string bytes;
    ManifestFileFault fault;
  } cases[] = {
      {"", ManifestFileFault::kTooShort},
      {"BEGI", ManifestFileFault::kTooShort},
      {"BEGINEND", ManifestFileFault::kTooShort},
      {"BEGIN END", ManifestFileFault::kNone},
      {"BEGIN\r\nEND", ManifestFileFault::kNone},
      {ManifestOf({{"a", "b", "1"}}), ManifestFileFault::kNone},
      {"BEGIN\r\nEND\r\n", ManifestFileFault::kNoEnd},
      {"BEGIN\r\nEND\n", ManifestFileFault::kNoEnd},
      {"BEGIN\r\nEND ", ManifestFileFault::kNoEnd},
      {"BEGIN\r\nend", ManifestFileFault::kNoEnd},
      {"begin\r\nEND", ManifestFileFault::kNoBegin},
      {" BEGIN\r\nEND", ManifestFileFault::kNoBegin},
      {"\xEF\xBB\xBF" "BEGIN\r\nEND", ManifestFileFault::kNoBegin},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(FindManifestFileFault(BytesOf(c.bytes), c.bytes.size()), c.fault);
    EXPECT_EQ(ValidateManifest(BytesOf(c.bytes), c.bytes.size()),
              c.fault == ManifestFileFault::kNone);
  }
}

TEST(ManifestFile, IsAcceptedOnlyWhenSmallerThanTheTransferBuffer) {
  // calloc's pages stay untouched until read, which keeps this test fast; zeros are filler.
  struct Free {
    void operator()(uint8_t* bytes) const { std::free(bytes); }
  };
  const std::unique_ptr<uint8_t, Free> bytes(
      static_cast<uint8_t*>(std::calloc(kLargestDownload + 1, 1)));
  ASSERT_TRUE(bytes);
  std::memcpy(bytes.get(), "BEGIN", 5);
  std::memcpy(bytes.get() + kLargestDownload - 3, "END", 3);
  EXPECT_TRUE(ValidateManifest(bytes.get(), kLargestDownload));

  std::memcpy(bytes.get() + kLargestDownload - 2, "END", 3);
  EXPECT_EQ(FindManifestFileFault(bytes.get(), kLargestDownload + 1),
            ManifestFileFault::kTooLarge);
}

TEST(ManifestRecords, AreReadFromQuotesAloneWhateverLiesBetweenThem) {
  const std::vector<Entry> expected = {{"Corvanta.exe", "bin/Corvanta.exe", 1024},
                                       {"Help\\Corvanta.chm", "help/Corvanta.chm", -1}};
  const std::string layouts[] = {
      "BEGIN\r\n\"Corvanta.exe\",\"bin/Corvanta.exe\",\"1024\"\r\n"
      "\"Help\\Corvanta.chm\",\"help/Corvanta.chm\",\"-1\"\r\nEND",
      "BEGIN\"Corvanta.exe\"\"bin/Corvanta.exe\"\"1024\"\"Help\\Corvanta.chm\"\"help/Corvanta.chm\""
      "\"-1\"END",
      "BEGIN \"Corvanta.exe\"\n\"bin/Corvanta.exe\" ; \"1024\"\t\"Help\\Corvanta.chm\" END? "
      "\"help/Corvanta.chm\" BEGIN \"-1\" END",
  };
  for (const std::string& manifest : layouts) {
    SCOPED_TRACE(manifest);
    EXPECT_EQ(Parse(manifest), expected);
  }
}

TEST(ManifestRecords, StayAlignedAfterAFieldOf256Bytes) {
  const std::string tooLong = Repeat('a', kLongestManifestField + 1);
  const std::string tooLongNumber = Repeat(' ', kLongestManifestField) + "7";
  const std::vector<Record> longRecords = {
      {tooLong, "remote", "1"}, {"local", tooLong, "1"}, {"local", "remote", tooLongNumber}};
  for (const Record& longRecord : longRecords) {
    const std::string manifest =
        ManifestOf({{"before", "b", "1"}, longRecord, {"after", "a", "3"}});
    EXPECT_EQ(Parse(manifest), (std::vector<Entry>{{"before", "b", 1}, {"after", "a", 3}}));
  }
}

TEST(ManifestRecords, KeepFieldsOfEveryLengthFrom0To255) {
  const std::string longest = Repeat('n', kLongestManifestField);
  const std::string longestNumber = Repeat(' ', kLongestManifestField - 1) + "7";
  const struct {
    Record record;
    std::vector<Entry> entries;
  } cases[] = {
      {{"", "remote", "1"}, {{"", "remote", 1}}},
      {{"local", "", "1"}, {{"local", "", 1}}},
      {{"", "", "1"}, {{"", "", 1}}},
      {{longest, "remote", "1"}, {{longest, "remote", 1}}},
      {{"local", longest, "1"}, {{"local", longest, 1}}},
      {{"local", "remote", longestNumber}, {{"local", "remote", 7}}},
      {{"local", "remote", ""}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record.localName + "," + c.record.remoteName + "," + c.record.number);
    EXPECT_EQ(Parse(ManifestOf({c.record})), c.entries);
  }
}

TEST(ManifestRecords, BeyondThe128thAreIgnored) {
  std::vector<Record> records;
  std::vector<Entry> first128;
  for (int i = 0; i < 130; ++i) {
    const std::string name = "file" + std::to_string(i);
    records.push_back({name, name, std::to_string(i)});
    if (i < 128) first128.push_back({name, name, i});
  }
  EXPECT_EQ(Parse(ManifestOf(records)), first128);

  // Only accepted records count towards the limit.
  records[5].number = "not a number";
  first128.erase(first128.begin() + 5);
  first128.push_back({"file128", "file128", 128});
  EXPECT_EQ(Parse(ManifestOf(records)), first128);
}

TEST(ManifestRecords, EndAtAnOpeningQuoteWithoutAClosingOne) {
  const std::string firstRecord = "BEGIN\r\n\"a\",\"b\",\"1\"\r\n";
  const std::string cutShort[] = {
      firstRecord + "\"c END",
      firstRecord + "\"c\",\"d END",
      firstRecord + "\"c\",\"d\",\"2 END",
      firstRecord + "\"c\",\"d\" END",
      firstRecord + "\"c\" END",
      firstRecord + "\"" + Repeat('x', 300) + "\",\"d\",\"2 END",
  };
  for (const std::string& manifest : cutShort) {
    SCOPED_TRACE(manifest);
    EXPECT_EQ(Parse(manifest), (std::vector<Entry>{{"a", "b", 1}}));
  }
}

TEST(ManifestRecords, WithABadNumberAreDroppedAndLeaveTheOthersWhole) {
  const std::string manifest = ManifestOf({{"first", "1st", "1"},
                                           {"a much longer name", "a much longer remote", "12x"},
                                           {"b", "c", "3"}});
  EXPECT_EQ(Parse(manifest), (std::vector<Entry>{{"first", "1st", 1}, {"b", "c", 3}}));
}

// Records what the parser tells a diagnostics tool.
class ObservedOutcomes : public ManifestObserver {
 public:
  struct Outcome {
    size_t offset;
    std::string what;
    bool operator==(const Outcome& o) const { return offset == o.offset && what == o.what; }
  };

  void EntryAccepted(size_t offset, const ManifestEntry& entry) override {
    outcomes.push_back({offset, std::string("accepted ") + entry.LocalName});
  }
  void RecordDropped(size_t offset, ManifestRecordFault fault, std::string_view field) override {
    outcomes.push_back({offset, std::string(FaultName(fault)) + " " + std::string(field)});
  }

  std::vector<Outcome> outcomes;

 private:
  static const char* FaultName(ManifestRecordFault fault) {
    switch (fault) {
      case ManifestRecordFault::kUnclosedField: return "unclosed";
      case ManifestRecordFault::kMissingField: return "missing";
      case ManifestRecordFault::kFieldTooLong: return "too long";
      case ManifestRecordFault::kTableFull: return "table full";
      case ManifestRecordFault::kUnsafeLocalName: return "unsafe local";
      case ManifestRecordFault::kUnsafeRemoteName: return "unsafe remote";
      case ManifestRecordFault::kBadNumber: return "bad number";
    }
    return "?";
  }
};

std::ostream& operator<<(std::ostream& out, const ObservedOutcomes::Outcome& outcome) {
  return out << outcome.offset << ": " << outcome.what;
}

TEST(ManifestRecords, TellAnObserverWhereEachWasAcceptedOrDroppedAndWhy) {
  const std::string tooLong = Repeat('a', kLongestManifestField + 1);
  // The offset of each record's first quote is noted beside it.
  const std::string manifest =
      "BEGIN\r\n"
      "\"ok\",\"r\",\"1\"\r\n"  // 7
      "\"..\",\"r\",\"1\"\r\n"  // 21
      "\"ok\",\"\x7F\",\"1\"\r\n"  // 35
      "\"ok\",\"r\",\"one\"\r\n"  // 49
      "\"" + tooLong + "\",\"r\",\"1\"\r\n"  // 65
      "\"ok\",\"r";  // 333
  ObservedOutcomes observer;
  const std::vector<Entry> entries = Parse(manifest, &observer);

  EXPECT_EQ(entries, (std::vector<Entry>{{"ok", "r", 1}}));
  EXPECT_EQ(observer.outcomes, (std::vector<ObservedOutcomes::Outcome>{
                                   {7, "accepted ok"},
                                   {21, "unsafe local .."},
                                   {40, "unsafe remote \x7F"},
                                   {58, "bad number one"},
                                   {65, "too long " + tooLong},
                                   {338, "unclosed r"},
                               }));
}

TEST(ManifestRecords, TellAnObserverOfRecordsCutShortOrOverTheLimit) {
  std::vector<Record> records(kMaxManifestEntries, Record{"f", "f", "1"});
  records.push_back({"late", "l", "2"});
  const std::string full = ManifestOf(records);
  ObservedOutcomes observer;
  Parse(full, &observer);
  ASSERT_EQ(observer.outcomes.size(), kMaxManifestEntries + 1);
  EXPECT_EQ(observer.outcomes.back(),
            (ObservedOutcomes::Outcome{full.find("\"late\""), "table full late"}));

  const std::string cutShort = "BEGIN \"a\",\"b\" END";
  ObservedOutcomes cutShortObserver;
  Parse(cutShort, &cutShortObserver);
  EXPECT_EQ(cutShortObserver.outcomes,
            (std::vector<ObservedOutcomes::Outcome>{{6, "missing a"}}));
}

}  // namespace
