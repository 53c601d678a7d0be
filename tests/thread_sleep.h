#pragma once
// Lets a test act only once another thread has gone to sleep in the kernel, so that
// a wake-up that never comes shows as that thread's whole timeout, every time.
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

inline int CurrentThreadId() { return static_cast<int>(syscall(SYS_gettid)); }

// Yields until thread `tid` of this process is asleep (state S in its stat line).
inline void AwaitSleeping(int tid) {
  const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
  for (;;) {
    char line[512] = {};
    if (FILE* f = std::fopen(path.c_str(), "r")) {
      const size_t got = std::fread(line, 1, sizeof line - 1, f);
      std::fclose(f);
      // The state follows the name, which is in parentheses and may hold spaces.
      const std::string stat(line, got);
      const size_t close = stat.rfind(')');
      if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S') return;
    }
    std::this_thread::yield();
  }
}
