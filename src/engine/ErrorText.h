#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Every error the setup shows has one shape: an optional subject (the URL or path concerned)
// and a blank line, a headline ending in ":\r\n", then the system's description of the error.
namespace error_text {
constexpr char kCreateConnection[] = "An error occurred while trying to create an internet connection:";
constexpr char kDownloadFilesFrom[] = "An error occurred while trying to download files from ";
constexpr char kDownloadFile[] = "An error occurred while trying to download file:";
constexpr char kWriteFile[] = "An error occurred while trying to write file:";
constexpr char kCreateDirectory[] = "An error occurred while trying to create a directory:";
constexpr char kReplaceFilesInUse[] =
    "An error occurred while trying to replace files that are in use:";
constexpr char kCloseProgramsAndRetry[] = "Close each program listed above, then click Retry.\r\n";
}  // namespace error_text

std::string ComposeErrorText(const std::string& subject, const std::string& headline,
                             const std::string& systemText);

// The headline of the manifest question, which names the vendor's domain.
std::string DownloadFilesFromHeadline(const std::string& domain);

// The question asked while programs run from the installation folder: each program on a line
// of its own, as its path or as ProgramByProcessText names it.
std::string ProgramsInUseText(const std::vector<std::string>& programs);
// A program known only by its file name and process ID: "Corvanta.exe (process 1234)".
std::string ProgramByProcessText(const std::string& fileName, uint32_t processId);

// Stands in for the system's text when the system has none for the code.
std::string ErrorCodeText(uint32_t code);
// The system's text, or ErrorCodeText where it is empty: no message ever comes without a reason.
std::string ReasonOrCode(const std::string& systemText, uint32_t code);

// Stand in for the system's text where a transfer failed without a failed call.
std::string HttpStatusText(uint32_t status, const std::string& statusText);
std::string ShortBodyText(uint64_t received, uint64_t declared);
std::string InsecureRedirectText();
// largest: the most the transfer's buffer can take.
std::string FileTooLargeText(uint64_t largest);
// With publisher keys built in: the manifest or a file is not what the publisher signed.
std::string UnsignedManifestText();
std::string UnsignedFileText();
