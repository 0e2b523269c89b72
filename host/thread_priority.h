// raiseCurrentThreadPriority: puts the calling thread at the highest priority
// the platform gives an unprivileged process, for the module player's output
// thread. On Windows that is THREAD_PRIORITY_TIME_CRITICAL; on Linux real-time
// scheduling where allowed, otherwise the best nice value. Failures are fine:
// the thread then runs at its normal priority.
#pragma once

namespace host {

void raiseCurrentThreadPriority();

}  // namespace host
