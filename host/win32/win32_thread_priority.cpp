#include <windows.h>

#include "host/thread_priority.h"

namespace host {

void raiseCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

}  // namespace host
