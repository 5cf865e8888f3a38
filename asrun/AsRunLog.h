#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "AsRunFile.h"
#include "CaptionCommands.h"
#include "ClockJumpWatch.h"

// The as-run log: a JSON line for every greeting, Send, Clear and corner resend the caption
// session's on-air record hears, refused ones too, one for each jump of the clock, and one for
// each timed cue that did not fire. The ticks
// themselves write nothing. A log that cannot be written is said once on the message line,
// and the notice goes when it is written again.
class CAsRunLog {
public:
    CAsRunLog(CaptionCommands& session, std::filesystem::path folder);
    ~CAsRunLog();
    CAsRunLog(const CAsRunLog&) = delete;
    CAsRunLog& operator=(const CAsRunLog&) = delete;

    // A timed cue that did not fire (its time had passed, automation was held), and why.
    void Skipped(int cue, const std::string& reason);

private:
    void Hear(const UnitWrite& write);
    void HearTick(const UnitWrite& write);

    CaptionCommands& m_session;
    // The notice on the message line while the log is not written.
    std::string m_notice;
    AsRunFile m_file;
    ClockJumpWatch m_clock;
    int m_listenKey = 0;
};

// The line a skipped timed cue is logged as (with its line break): kind "skip", origin "auto",
// the reason as its text.
std::string AsRunSkipLine(std::chrono::system_clock::time_point time, int cue,
                          const std::string& reason);

// The line a write is logged as (with its line break); port and device as the window has them.
std::string AsRunLine(const UnitWrite& write, const std::string& port, const std::string& device);
