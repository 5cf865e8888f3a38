#pragma once

#include <filesystem>
#include <string>

#include "AsRunFile.h"
#include "CaptionCommands.h"
#include "ClockJumpWatch.h"

// The as-run log: a JSON line for every greeting, Send, Clear and corner resend the caption
// session's on-air record hears, refused ones too, and one for each jump of the clock. The ticks
// themselves write nothing. A log that cannot be written is said once on the message line,
// and the notice goes when it is written again.
class CAsRunLog {
public:
    CAsRunLog(CaptionCommands& session, std::filesystem::path folder);
    ~CAsRunLog();
    CAsRunLog(const CAsRunLog&) = delete;
    CAsRunLog& operator=(const CAsRunLog&) = delete;

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

// The line a write is logged as (with its line break); port and device as the window has them.
std::string AsRunLine(const UnitWrite& write, const std::string& port, const std::string& device);
