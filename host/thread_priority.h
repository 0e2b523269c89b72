// raiseCurrentThreadPriority: puts the calling thread at the highest priority
// the platform gives an unprivileged process, for the module player's output
// thread. On Windows that is THREAD_PRIORITY_TIME_CRITICAL; on Linux real-time
// scheduling where allowed, otherwise the best nice value. Failures are fine:
// the thread then runs at its normal priority. Each platform folder has its
// own (host/sdl/thread_priority.cpp, host/win32/win32_thread_priority.cpp,
// host/web/web_thread_priority.cpp, where there is no output thread).
#pragma once

namespace host {

void raiseCurrentThreadPriority();

}  // namespace host
