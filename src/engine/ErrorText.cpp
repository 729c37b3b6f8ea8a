#include "ErrorText.h"

namespace {
constexpr char kLineBreak[] = "\r\n";
}

std::string ComposeErrorText(const std::string& subject, const std::string& headline,
                             const std::string& systemText) {
  std::string text;
  if (!subject.empty()) {
    text += subject;
    text += kLineBreak;
    text += kLineBreak;
  }
  text += headline;
  text += kLineBreak;
  text += systemText;
  return text;
}

std::string DownloadFilesFromHeadline(const std::string& domain) {
  return error_text::kDownloadFilesFrom + domain + ":";
}

std::string ProgramsInUseText(const std::vector<std::string>& programs) {
  std::string list;
  for (const std::string& program : programs) {
    if (!list.empty()) list += kLineBreak;
    list += program;
  }
  return ComposeErrorText(list, error_text::kReplaceFilesInUse,
                          error_text::kCloseProgramsAndRetry);
}

std::string ProgramByProcessText(const std::string& fileName, uint32_t processId) {
  return fileName + " (process " + std::to_string(processId) + ")";
}

std::string ErrorCodeText(uint32_t code) {
  return "Error code " + std::to_string(code) + "." + kLineBreak;
}

std::string ReasonOrCode(const std::string& systemText, uint32_t code) {
  return systemText.empty() ? ErrorCodeText(code) : systemText;
}

std::string HttpStatusText(uint32_t status, const std::string& statusText) {
  std::string text = "The server returned HTTP status " + std::to_string(status);
  if (!statusText.empty()) text += " (" + statusText + ")";
  return text + "." + kLineBreak;
}

std::string ShortBodyText(uint64_t received, uint64_t declared) {
  return "The download ended after " + std::to_string(received) + " of " +
         std::to_string(declared) + " bytes." + kLineBreak;
}

std::string InsecureRedirectText() {
  return std::string("The server redirected the download to an address that is not secure.") +
         kLineBreak;
}

std::string FileTooLargeText(uint64_t largest) {
  // Grouped by thousands, as people write sizes.
  std::string digits = std::to_string(largest);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return "The file is larger than " + digits + " bytes." + kLineBreak;
}

std::string UnsignedManifestText() {
  return std::string("The install manifest is not signed by the publisher.") + kLineBreak;
}

std::string UnsignedFileText() {
  return std::string("The downloaded file does not match the publisher's signature.") + kLineBreak;
}
