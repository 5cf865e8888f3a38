#pragma once

#include <chrono>
#include <string>
#include <system_error>

#include "LineSettings.h"

// The device side of a serial port: opening a terminal for this process alone, setting its
// line and watching its output queue. Plain functions over a file descriptor; each that can
// fail says why, as the errno of the call that failed or the condition it found.

// Opens path for non-blocking reads and writes and holds it exclusively: an flock that any
// second holder (this process included) fails to take, and TIOCEXCL against programs that
// open without locking. Anything that is not a terminal, or is held already, gives -1 and
// the reason (ENODEV not a character device, ENOTTY not a terminal, EBUSY held by someone)
// and is left untouched.
int OpenExclusiveTerminal(const std::string& path, std::error_code& reason);

// Gives up what OpenExclusiveTerminal took and closes fd. The descriptor is gone whatever
// the result; a reason says the exclusive flag or the close failed on the way.
std::error_code ReleaseTerminal(int fd);

// Sets fd to a raw line with the given framing, at once, and reads it back to confirm; a
// line the driver took only in part gives EINVAL.
std::error_code ConfigureLine(int fd, const LineSettings& settings);

enum class OutputState {
    Drained,  // the driver has passed on every byte written
    Queued,   // bytes still waiting when the time ran out
    Unknown,  // the driver cannot tell, e.g. the line has hung up; reason says why
};

// Polls fd's output queue until it is empty, for at most limit. Never blocks on the line
// itself, so a stalled line costs at most limit.
OutputState WaitOutputDrained(int fd, std::chrono::microseconds limit, std::error_code& reason);
