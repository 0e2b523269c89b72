// VirtualScreen: an Xvfb server for the SDL host's tests (a missing Xvfb
// leaves it down, which the tests report as a failure).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace host {

// An Xvfb server of 800 x 600 x 24 on the first free display of 20..29, for
// the lifetime of the object; DISPLAY names it.
class VirtualScreen {
 public:
  VirtualScreen() {
    if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    for (int n = 20; n <= 29 && pid_ <= 0; ++n) {
      const std::string number = std::to_string(n);
      if (std::filesystem::exists(std::string("/tmp/.X").append(number).append("-lock"))) continue;
      const std::string display = std::string(":").append(number);
      const pid_t pid = fork();
      if (pid == 0) {
        // The server ends with the test process (also a death test's child,
        // which leaves by exit), and holds none of its pipes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        // -noreset: a host closed and opened again finds the server as it was.
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
      }
      const std::string socket = std::string("/tmp/.X11-unix/X").append(number);
      for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) break;  // another server took the number
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (std::filesystem::exists(socket) && waitpid(pid, nullptr, WNOHANG) == 0) {
        pid_ = pid;
        setenv("DISPLAY", display.c_str(), 1);
      }
    }
  }
  ~VirtualScreen() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  bool up() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

}  // namespace host
