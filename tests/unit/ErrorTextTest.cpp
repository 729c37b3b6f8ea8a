#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/ErrorText.h"

namespace {

// Every question the setup asks has one shape: the subject and a blank line when there is one,
// the headline and a line break, then the reason exactly as the system or the setup gave it.
TEST(ErrorText, ComposesSubjectHeadlineAndReason) {
  const struct {
    std::string subject;
    std::string headline;
    std::string reason;
    std::string text;
  } cases[] = {
      {"https://download.corvanta.example/installs/cvn/Corvanta.exe", error_text::kDownloadFile,
       "The attempt to connect to the server failed.\r\n",
       "https://download.corvanta.example/installs/cvn/Corvanta.exe\r\n\r\n"
       "An error occurred while trying to download file:\r\n"
       "The attempt to connect to the server failed.\r\n"},
      {"C:\\Program Files (x86)\\Corvanta\\Help\\Corvanta.chm", error_text::kWriteFile,
       "Access denied.\r\n",
       "C:\\Program Files (x86)\\Corvanta\\Help\\Corvanta.chm\r\n\r\n"
       "An error occurred while trying to write file:\r\nAccess denied.\r\n"},
      {"C:\\Corvanta", error_text::kCreateDirectory, "Path not found.\r\n",
       "C:\\Corvanta\r\n\r\nAn error occurred while trying to create a directory:\r\n"
       "Path not found.\r\n"},
      {"", error_text::kCreateConnection, "Error code 6.\r\n",
       "An error occurred while trying to create an internet connection:\r\nError code 6.\r\n"},
      // A code the system has no text for leaves the headline on its own.
      {"", DownloadFilesFromHeadline("corvanta.example"), "",
       "An error occurred while trying to download files from corvanta.example:\r\n"},
      // The reason is not touched: a server's response text keeps its own line breaks.
      {"https://h/x", error_text::kDownloadFile, "550 No such file\r\nsecond line",
       "https://h/x\r\n\r\nAn error occurred while trying to download file:\r\n"
       "550 No such file\r\nsecond line"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComposeErrorText(c.subject, c.headline, c.reason), c.text) << c.text;
  }
}

TEST(ErrorText, TheManifestHeadlineNamesTheVendorsDomain) {
  EXPECT_EQ(DownloadFilesFromHeadline("corvanta.example"),
            "An error occurred while trying to download files from corvanta.example:");
  EXPECT_EQ(ComposeErrorText("", DownloadFilesFromHeadline("corvanta.example"),
                             "The server name could not be resolved.\r\n"),
            "An error occurred while trying to download files from corvanta.example:\r\n"
            "The server name could not be resolved.\r\n");
}

// Where no call failed, the setup's own reason stands in for the system's, ending in a line
// break as the system's texts do.
TEST(ErrorText, ReasonsForTransfersThatFailedWithoutAFailedCall) {
  const struct {
    std::string reason;
    std::string text;
  } cases[] = {
      {HttpStatusText(404, "Not Found"), "The server returned HTTP status 404 (Not Found).\r\n"},
      {HttpStatusText(500, "Internal Server Error"),
       "The server returned HTTP status 500 (Internal Server Error).\r\n"},
      {HttpStatusText(302, ""), "The server returned HTTP status 302.\r\n"},
      {HttpStatusText(199, "Odd"), "The server returned HTTP status 199 (Odd).\r\n"},
      {ShortBodyText(0, 1), "The download ended after 0 of 1 bytes.\r\n"},
      {ShortBodyText(50000, 120000), "The download ended after 50000 of 120000 bytes.\r\n"},
      {ShortBodyText(15999999, 18446744073709551615u),
       "The download ended after 15999999 of 18446744073709551615 bytes.\r\n"},
      {InsecureRedirectText(),
       "The server redirected the download to an address that is not secure.\r\n"},
      {FileTooLargeText(15999999), "The file is larger than 15,999,999 bytes.\r\n"},
      {FileTooLargeText(1048575), "The file is larger than 1,048,575 bytes.\r\n"},
      {FileTooLargeText(999), "The file is larger than 999 bytes.\r\n"},
      {FileTooLargeText(1000), "The file is larger than 1,000 bytes.\r\n"},
      {UnsignedManifestText(), "The install manifest is not signed by the publisher.\r\n"},
      {UnsignedFileText(), "The downloaded file does not match the publisher's signature.\r\n"},
      {ErrorCodeText(0), "Error code 0.\r\n"},
      {ErrorCodeText(12057), "Error code 12057.\r\n"},
      {ErrorCodeText(4294967295u), "Error code 4294967295.\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.reason, c.text);
}

TEST(ErrorText, AReasonIsTheSystemsTextOrElseTheCodesNumber) {
  EXPECT_EQ(ReasonOrCode("Access is denied.\r\n", 5), "Access is denied.\r\n");
  EXPECT_EQ(ReasonOrCode("", 12057), "Error code 12057.\r\n");
}

TEST(ErrorText, AQuestionAboutAFileCarriesTheSetupsOwnReason) {
  EXPECT_EQ(ComposeErrorText("https://download.corvanta.example/installs/cvn/Help/Corvanta.chm",
                             error_text::kDownloadFile, HttpStatusText(404, "Not Found")),
            "https://download.corvanta.example/installs/cvn/Help/Corvanta.chm\r\n\r\n"
            "An error occurred while trying to download file:\r\n"
            "The server returned HTTP status 404 (Not Found).\r\n");
}

}  // namespace
