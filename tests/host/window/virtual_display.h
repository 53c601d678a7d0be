#pragma once
// An Xvfb of the test's own on the first free display number, which it writes to us;
// gone with the test, even when the test crashes. name() is empty where Xvfb is not
// installed. A window manager can be run on it the same way.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A program run for the test, its output silenced, ended with the object and with the
// test; it writes to the test through a pipe (`fds`, read end kept by the test).
class TestChild {
 public:
  TestChild(const TestChild&) = delete;
  TestChild& operator=(const TestChild&) = delete;

 protected:
  TestChild() = default;
  ~TestChild() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  // `run` execs the program in the child; false where the fork failed.
  template <typename Run>
  bool Start(const int fds[2], Run run) {
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      const int quiet = open("/dev/null", O_WRONLY);
      dup2(quiet, 1);
      dup2(quiet, 2);
      run();
      _exit(127);
    }
    close(fds[1]);
    return pid_ > 0;
  }

 private:
  pid_t pid_ = -1;
};

class VirtualDisplay : TestChild {
 public:
  // `screen` as Xvfb takes it: width x height x depth.
  explicit VirtualDisplay(const char* screen = "1280x1024x24") {
    int fds[2];
    if (pipe(fds) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    const bool started = Start(fds, [&] {
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
             static_cast<char*>(nullptr));
    });
    std::string number;
    char c;
    while (started && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// Openbox managing `display` until the object goes; started() is false where openbox
// is not installed. It takes a moment to take over the display: the caller waits for it.
class WindowManager : TestChild {
 public:
  explicit WindowManager(const std::string& display) {
    // Closed by a successful exec; an error number comes through where exec fails.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    // Made before the fork: a child of a threaded process must not allocate.
    std::vector<std::string> environment{"DISPLAY=" + display};
    for (char** variable = environ; *variable != nullptr; ++variable)
      if (std::strncmp(*variable, "DISPLAY=", 8) != 0) environment.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>("openbox"), const_cast<char*>("--sm-disable"), nullptr};
    const bool forked = Start(fds, [&] {
      execvpe("openbox", argv, envp.data());
      const int error = errno;
      if (write(fds[1], &error, sizeof error) < 0) _exit(126);
    });
    int error = 0;
    started_ = forked && read(fds[0], &error, sizeof error) == 0;
    close(fds[0]);
  }
  bool started() const { return started_; }

 private:
  bool started_ = false;
};
