#pragma once
// Files for tests: a fresh folder removed with everything in it, whole-file reads and
// writes, a disk that fills up, and the log's Shift-JIS form of a UTF-8 text.
#include <fcntl.h>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <functional>
#include <future>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "danmaku-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    path_ = made != nullptr ? made : "";
  }
  ~TempDir() {
    std::error_code ignored;  // a test may have made the folder read-only
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// While it lives, every write past the first `bytes` bytes of a file fails with EFBIG,
// as on a full disk, rather than raising SIGXFSZ.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    set_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;
  bool set() const { return set_; }  // false: the limit could not be set

 private:
  rlimit saved_{};
  void (*oldHandler_)(int) = nullptr;
  bool set_ = false;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Any contiguous byte container (std::string, std::vector<uint8_t>).
template <class Bytes>
bool WriteWholeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}
inline bool WriteWholeFile(const std::string& path, const char* text) { return WriteWholeFile(path, std::string(text)); }

// Runs `call` while a FIFO with no writer sits at `path`: true when it comes back by
// itself. A call that waits for a writer is released by one, and the answer is false.
inline bool ReturnsWithAFifoInPlace(const std::string& path, const std::function<void()>& call) {
  if (mkfifo(path.c_str(), 0600) != 0) return false;
  auto done = std::async(std::launch::async, call);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) close(writer);
  done.wait();
  return false;
}

inline std::string ShiftJis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string out(utf8.size() * 2 + 1, '\0');
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char* dst = out.data();
  size_t dstLeft = out.size();
  iconv(cd, &in, &inLeft, &dst, &dstLeft);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}
