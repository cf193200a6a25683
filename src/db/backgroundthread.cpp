#include "db/backgroundthread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {
// Nicer by this much than the program's other threads.
constexpr int BackgroundNiceness = 10;
} // namespace

void yieldToTheWindow() {
    // Linux gives each thread its own niceness; a failure leaves the thread as it was.
    setpriority(PRIO_PROCESS, id_t(gettid()), BackgroundNiceness);
}
