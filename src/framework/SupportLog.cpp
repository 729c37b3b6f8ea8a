#include "SupportLog.h"

#include <exception>
#include <optional>

#include "CriticalSection.h"
#include "Handles.h"
#include "LogText.h"

namespace {

// Support can open a log of 1 MiB in anything; a run that says more is cut, saying so.
constexpr DWORD kLargestLog = 1024 * 1024;
constexpr char kCutText[] =
    "The log has reached 1 MiB and ends here; later events are not recorded.";
constexpr size_t kCutLineReserve = 128;
constexpr int kMostCopies = 100;
constexpr char kMainThread[] = "main  ";
constexpr char kWorkerThread[] = "worker";

LogTime ToLogTime(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
          time.wMilliseconds};
}

// Local time's offset from UTC in minutes, as the clock reads it now; none when the system
// cannot say.
std::optional<int> MinutesFromUtc() {
  TIME_ZONE_INFORMATION zone = {};
  LONG bias = 0;  // UTC minus local time
  switch (::GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_INVALID:
      return std::nullopt;
    case TIME_ZONE_ID_DAYLIGHT:
      bias = zone.Bias + zone.DaylightBias;
      break;
    case TIME_ZONE_ID_STANDARD:
      bias = zone.Bias + zone.StandardBias;
      break;
    default:
      bias = zone.Bias;
      break;
  }
  return static_cast<int>(-bias);
}

// The first line of a log also dates it, so that its times can be set beside another machine's.
std::string LineNow(const std::string& text, DWORD mainThread, bool first) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  const char* thread = ::GetCurrentThreadId() == mainThread ? kMainThread : kWorkerThread;
  if (first) return LogFirstLine(ToLogTime(now), MinutesFromUtc(), thread, text);
  return LogLine(ToLogTime(now), thread, text);
}

class Log {
 public:
  void Begin() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    start_ = ToLogTime(now);
    mainThread_ = ::GetCurrentThreadId();
  }

  // True when the log is open.
  bool Open() {
    CriticalSectionLock hold(lock_);
    if (opened_) return false;
    opened_ = true;
    std::string noted;
    noted.swap(noted_);
    char temp[MAX_PATH + 1] = {};
    DWORD length = ::GetTempPathA(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return false;
    const std::string folder(temp, length);
    for (int copy = 1; copy <= kMostCopies && !file_; ++copy) {
      path_ = folder + LogFileName(start_, copy);
      // Shared for reading, so that support can follow the log while the setup runs. Only a new
      // file: the folder is the user's, and an elevated setup writes into nothing found there.
      file_.reset(::CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file_ && ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!file_) return false;
    // What happened before the window showed, in one go.
    Append(noted);
    return true;
  }

  void Write(const std::string& text) {
    // Stamped under the lock, so that the lines of both threads stay in the order of their times.
    CriticalSectionLock hold(lock_);
    std::string line = LineNow(text, mainThread_, !stamped_);
    stamped_ = true;
    if (!opened_) {
      noted_ += line;
    } else {
      Append(line);
    }
  }

  const std::string& Path() const { return path_; }

 private:
  // One WriteFile per line and no flush: the system writes it out as it sees fit.
  void Append(const std::string& line) {
    if (!file_ || ended_) return;
    if (written_ + line.size() + kCutLineReserve > kLargestLog) {
      ended_ = true;
      WriteBytes(LineNow(kCutText, mainThread_, false));
      return;
    }
    if (!WriteBytes(line)) ended_ = true;  // a full disk: the setup goes on without its log
  }

  bool WriteBytes(const std::string& bytes) {
    DWORD count = 0;
    if (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count,
                     nullptr) ||
        count != bytes.size()) {
      return false;
    }
    written_ += count;
    return true;
  }

  CriticalSection lock_;
  LogTime start_ = {};
  DWORD mainThread_ = 0;
  bool opened_ = false;
  bool stamped_ = false;  // once the first line has been stamped
  std::string noted_;  // the lines written before the log was opened
  std::string path_;
  FileHandle file_;
  size_t written_ = 0;
  bool ended_ = false;
};

// Never destroyed: the process's exit may end the worker wherever it is, even holding the
// log's lock, so nothing tears the log down at exit.
Log& TheLog() {
  static Log* log = new Log();
  return *log;
}

const char* ButtonName(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return nullptr;
  }
}

}  // namespace

namespace support_log {

void Part::AppendTo(std::string& line) const {
  switch (kind_) {
    case kText:
      if (length_ == static_cast<size_t>(-1)) {
        line += text_;
      } else {
        line.append(text_, length_);
      }
      break;
    case kNegative:
      line += '-';
      line += std::to_string(number_);
      break;
    case kNumber:
      line += std::to_string(number_);
      break;
    case kHex:
      line += HexCode(static_cast<uint32_t>(number_));
      break;
    case kQuoted:
      line += QuoteLogText(std::string_view(text_, length_));
      break;
  }
}

void Begin() noexcept {
  try {
    TheLog().Begin();
  } catch (...) {
    // Without memory for the log there is no log.
  }
}

void Open() noexcept {
  try {
    if (TheLog().Open()) Write({"Log file ", TheLog().Path()});
  } catch (...) {
    // The setup runs on as if there were no log.
  }
}

void Write(std::initializer_list<Part> parts) noexcept {
  try {
    std::string text;
    for (const Part& part : parts) part.AppendTo(text);
    TheLog().Write(text);
  } catch (...) {
    // A line of the log is never worth a failure of the setup.
  }
}

void Discarded(const char* where) noexcept {
  try {
    throw;
  } catch (const std::exception& error) {
    Write({where, " discarded an exception: ", error.what()});
  } catch (...) {
    Write({where, " discarded an exception of no known type"});
  }
}

int AskAndLog(HWND owner, const std::string& text, const char* caption, UINT style) {
  Write({"Message box \"", caption, "\": ", text});
  const int answer = ::MessageBoxA(owner, text.c_str(), caption, style);
  const char* name = ButtonName(answer);
  if (name) {
    Write({"Answer: ", name});
  } else {
    Write({"No answer: error ", ::GetLastError()});
  }
  return answer;
}

}  // namespace support_log
