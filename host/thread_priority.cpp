#include "host/thread_priority.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__EMSCRIPTEN__)
// no threads on the page
#else
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace host {

#if defined(_WIN32)

void raiseCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

#elif defined(__EMSCRIPTEN__)

// The browser edition has no output thread: its output takes the refill.
void raiseCurrentThreadPriority() {}

#else

void raiseCurrentThreadPriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_FIFO);
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
  const auto tid = static_cast<id_t>(syscall(SYS_gettid));
  const int current = getpriority(PRIO_PROCESS, tid);
  for (int nice = -20; nice < current; ++nice) {
    if (setpriority(PRIO_PROCESS, tid, nice) == 0) return;
  }
}

#endif

}  // namespace host
