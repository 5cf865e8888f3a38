#pragma once

#include <chrono>
#include <string>

#include "LineSettings.h"

// The device side of a serial port: opening a terminal for this process alone, setting its
// line and watching its output queue. Plain functions over a file descriptor.

// Opens path for non-blocking reads and writes and holds it exclusively: an flock that any
// second holder (this process included) fails to take, and TIOCEXCL against programs that
// open without locking. Anything that is not a terminal, or is held already, gives -1 and
// is left untouched.
int OpenExclusiveTerminal(const std::string& path);

// Gives up what OpenExclusiveTerminal took and closes fd.
void ReleaseTerminal(int fd);

// Sets fd to a raw line with the given framing, at once, and reads it back to confirm.
bool ConfigureLine(int fd, const LineSettings& settings);

enum class OutputState {
    Drained,  // the driver has passed on every byte written
    Queued,   // bytes still waiting when the time ran out
    Unknown,  // the driver cannot tell, e.g. the line has hung up
};

// Polls fd's output queue until it is empty, for at most limit. Never blocks on the line
// itself, so a stalled line costs at most limit.
OutputState WaitOutputDrained(int fd, std::chrono::microseconds limit);
