#include "host/thread_priority.h"

namespace host {

// The browser edition has no output thread: its output takes the refill.
void raiseCurrentThreadPriority() {}

}  // namespace host
