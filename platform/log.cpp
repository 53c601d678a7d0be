#include "platform/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/kernel/sync.h"
#include "platform/clock.h"
#include "platform/code_page.h"

namespace {
struct LogState {
  CriticalSection lock;
  std::string path = "Log.txt";
  bool timeBaseSet = false;
  uint32_t startMs = 0;
  int indent = 0;
  bool atLineStart = true;
  char lastByte = 0;
  bool openFailureTold = false;  // said on standard error, once per log file
};

LogState& Log() {
  static LogState state;
  return state;
}

// A log that cannot be written leaves its trace on standard error, once.
void TellOpenFailure(LogState& log) {
  if (log.openFailureTold) return;
  log.openFailureTold = true;
  std::fprintf(stderr, "%s cannot be opened for writing (%s); the log is lost\n", log.path.c_str(),
               std::strerror(errno));
}

void AppendToFile(LogState& log, const std::string& bytes) {
  // Opened and closed on every call so that nothing is lost when the process dies.
  FILE* file = std::fopen(log.path.c_str(), "ab");
  if (file == nullptr) return TellOpenFailure(log);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}
}  // namespace

void StartLog(const char* directory) {
  LogState& log = Log();
  CriticalSectionGuard guard(log.lock);
  log.path = directory != nullptr && directory[0] != '\0' ? std::string(directory) + "/Log.txt"
                                                           : std::string("Log.txt");
  std::remove(log.path.c_str());
  log.openFailureTold = false;
  if (FILE* file = std::fopen(log.path.c_str(), "wb"))
    std::fclose(file);
  else
    TellOpenFailure(log);
  log.startMs = GetTimeMs();
  log.timeBaseSet = true;
  log.indent = 0;
  log.atLineStart = true;
  log.lastByte = 0;
}

int WriteLog(const char* text) {
  if (text == nullptr) return -1;
  LogState& log = Log();
  CriticalSectionGuard guard(log.lock);
  if (!log.timeBaseSet) {
    log.startMs = GetTimeMs();
    log.timeBaseSet = true;
  }
  std::string converted = Utf8ToShiftJis(text);
  std::string out;
  out.reserve(converted.size() + 32);
  for (char c : converted) {
    if (log.atLineStart) {
      char stamp[16];
      std::snprintf(stamp, sizeof stamp, "%u:", static_cast<unsigned>(GetTimeMs() - log.startMs));
      out += stamp;
      out.append(static_cast<size_t>(log.indent), '\t');
      log.atLineStart = false;
    }
    if (c == '\n') {
      if (log.lastByte != '\r') out += '\r';
      log.atLineStart = true;
    }
    out += c;
    log.lastByte = c;
  }
  AppendToFile(log, out);
  // Standard error stands in for the debugger output.
  if (std::getenv("LOG_TO_STDERR") != nullptr) std::fputs(text, stderr);
  return -1;
}

int WriteLogFormat(const char* format, ...) {
  char buffer[2048];
  va_list args;
  va_start(args, format);
  // One byte is kept for the line feed, so a long text is cut rather than overrun.
  std::vsnprintf(buffer, sizeof buffer - 1, format, args);
  va_end(args);
  size_t length = std::char_traits<char>::length(buffer);
  // The line is ended here; a message that already ends its own line would otherwise
  // leave an empty one after it.
  if (length == 0 || buffer[length - 1] != '\n') {
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
  }
  return WriteLog(buffer);
}

void IncreaseLogIndent() {
  LogState& log = Log();
  CriticalSectionGuard guard(log.lock);
  ++log.indent;
}

void DecreaseLogIndent() {
  LogState& log = Log();
  CriticalSectionGuard guard(log.lock);
  if (log.indent > 0) --log.indent;
}
