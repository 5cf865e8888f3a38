// Preloaded into the real program by the clock test: every reading of the kernel's clock says
// it is not synchronised, whatever the machine's own clock is.
#include <sys/timex.h>
#include <time.h>

namespace {

int NotSynchronised(timex* reading) {
    reading->status = STA_UNSYNC;
    return TIME_ERROR;
}

}  // namespace

extern "C" {
int adjtimex(timex* reading) noexcept {
    return NotSynchronised(reading);
}
int ntp_adjtime(timex* reading) noexcept {
    return NotSynchronised(reading);
}
int clock_adjtime(clockid_t, timex* reading) noexcept {
    return NotSynchronised(reading);
}
}
