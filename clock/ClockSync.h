#pragma once

#include <functional>

struct timex;

// Whether the machine's clock, and with it every stamp on the picture, can be trusted: what
// the kernel says of its clock's discipline, read as timedatectl reads it, without a daemon.
enum class ClockSync { Synchronised, NotSynchronised, Unknown };

// The kernel's clock call (ntp_adjtime): fills the timex and returns the clock's state, or -1.
using KernelClockCall = std::function<int(timex&)>;

// Reads without changing anything (modes 0). Not synchronised when the kernel says its clock
// is in error or unsynchronised; unknown when the call fails.
ClockSync ReadClockSync(const KernelClockCall& call);
ClockSync ReadClockSync();
