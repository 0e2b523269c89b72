// A program started by an end-to-end test (the magazine, an X server, Wine),
// its standard output and error written to a log file.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace e2e {

class ChildProcess {
 public:
  // The child's environment is this process's without the variables named
  // in `unset`, with the "NAME=value" entries of `set` replacing or adding.
  ChildProcess(const std::vector<std::string>& argv, const std::string& log, const std::vector<std::string>& set = {},
               const std::vector<std::string>& unset = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string v = *e;
      const std::string name = v.substr(0, v.find('='));
      bool drop = std::find(unset.begin(), unset.end(), name) != unset.end();
      for (const std::string& s : set) drop = drop || s.compare(0, s.find('='), name) == 0;
      if (!drop) env.push_back(v);
    }
    env.insert(env.end(), set.begin(), set.end());
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProcess() { stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0 || exitStatus_ != kRunning; }
  pid_t pid() const { return pid_; }

  // False once the child has ended (its status is then kept).
  bool running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalled;
      pid_ = -1;
      return false;
    }
    return true;
  }

  // The exit status once the child has ended within `timeout`; kRunning
  // (-1000) if it has not, kSignalled (-2000) if a signal ended it.
  int waitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
      if (std::chrono::steady_clock::now() > deadline) return kRunning;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return exitStatus_;
  }

  // SIGTERM, then SIGKILL when the child has not ended 3 s later.
  void stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    if (waitExit(std::chrono::milliseconds(3000)) == kRunning) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      exitStatus_ = kSignalled;
    }
    pid_ = -1;
  }

  // User plus system CPU time so far, in seconds (-1 when unknown).
  double cpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1.0;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    double ticks = 0.0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
      if (i == 14 || i == 15) ticks += std::stod(f);  // utime, stime
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
  }

  static constexpr int kRunning = -1000;
  static constexpr int kSignalled = -2000;

 private:
  pid_t pid_ = -1;
  int exitStatus_ = kRunning;
};

// What a shell command prints on its standard output, byte for byte (a
// picture's pixels, say).
inline std::string capture(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    pclose(f);
  }
  return out;
}

// The same for a command that prints text: without its trailing line ends.
inline std::string captureText(const std::string& command) {
  std::string out = capture(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Polls `ready` until it holds or `timeout` has passed; says which.
inline bool waitFor(const std::function<bool()>& ready, std::chrono::milliseconds timeout,
                    std::chrono::milliseconds interval = std::chrono::milliseconds(50)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(interval);
  }
}

}  // namespace e2e
