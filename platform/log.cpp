#include "platform/log.h"

#include <iconv.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/kernel/sync.h"
#include "platform/clock.h"

namespace {
struct LogState {
  CriticalSection lock;
  std::string path = "Log.txt";
  bool timeBaseSet = false;
  uint32_t startMs = 0;
  int indent = 0;
  bool atLineStart = true;
  char lastByte = 0;
};

LogState& Log() {
  static LogState state;
  return state;
}

// Length of the well-formed UTF-8 sequence at `s`, or 0.
size_t Utf8SequenceLength(const unsigned char* s, size_t left) {
  unsigned char c = s[0];
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || n > left) return 0;
  for (size_t i = 1; i < n; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
  }
  return n;
}

// The sources are UTF-8 but the log is Shift-JIS. Bytes that are not UTF-8 are taken
// to be Shift-JIS already (a file name, say) and kept; a character that Shift-JIS
// cannot hold becomes '?'.
std::string ToShiftJis(const char* text) {
  std::string out;
  size_t left = std::char_traits<char>::length(text);
  auto* in = reinterpret_cast<const unsigned char*>(text);
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text, left);
  while (left > 0) {
    size_t n = Utf8SequenceLength(in, left);
    if (n == 0) {
      out += static_cast<char>(*in);
      ++in;
      --left;
      continue;
    }
    if (n == 1) {
      out += static_cast<char>(*in);
    } else {
      char buffer[8];
      char* src = const_cast<char*>(reinterpret_cast<const char*>(in));
      size_t srcLeft = n;
      char* dst = buffer;
      size_t dstLeft = sizeof buffer;
      if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        out += '?';
      } else {
        out.append(buffer, dst - buffer);
      }
    }
    in += n;
    left -= n;
  }
  iconv_close(cd);
  return out;
}

void AppendToFile(const std::string& path, const std::string& bytes) {
  // Opened and closed on every call so that nothing is lost when the process dies.
  FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return;
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
  if (FILE* file = std::fopen(log.path.c_str(), "wb")) std::fclose(file);
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
  std::string converted = ToShiftJis(text);
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
  AppendToFile(log.path, out);
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
  buffer[length] = '\n';
  buffer[length + 1] = '\0';
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
