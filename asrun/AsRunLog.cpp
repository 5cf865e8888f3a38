#include "AsRunLog.h"

#include "AsRunText.h"
#include "Cp1252.h"

namespace {

void AppendField(std::string& line, const char* name, std::string_view text) {
    line += ",\"";
    line += name;
    line += "\":";
    AppendJsonString(line, text);
}

void AppendField(std::string& line, const char* name, long number) {
    line += ",\"";
    line += name;
    line += "\":";
    line += std::to_string(number);
}

// The opening fields every line has: its time, UTC and local, and its kind.
std::string LineStart(const AsRunTime& time, const char* kind) {
    std::string line = "{\"utc\":";
    AppendJsonString(line, time.utc);
    AppendField(line, "local", time.local);
    AppendField(line, "kind", kind);
    return line;
}

}  // namespace

std::string AsRunLine(const UnitWrite& write, const std::string& port, const std::string& device) {
    std::string line = LineStart(AsRunTimeOf(write.time), WriteKindName(write.kind));
    AppendField(line, "origin", WriteOriginName(write.origin));
    if (write.cue != 0) AppendField(line, "cue", write.cue);
    AppendField(line, "screen", write.screen);
    AppendField(line, "text", Utf8FromCp1252(write.text));
    AppendField(line, "date", write.dateCorner);
    AppendField(line, "time", write.timeCorner);
    AppendField(line, "port", port);
    AppendField(line, "device", device);
    line += write.taken ? ",\"taken\":true" : ",\"taken\":false";
    // A write not taken says how many of its bytes left before it was refused or cut.
    if (!write.taken) AppendField(line, "bytes", static_cast<long>(write.sent));
    // Only a show with a backup line says whether that line took the write too.
    if (write.backup)
        line += write.backupTaken ? ",\"backup_taken\":true" : ",\"backup_taken\":false";
    line += "}\n";
    return line;
}

std::string AsRunSkipLine(std::chrono::system_clock::time_point time, int cue,
                          const std::string& reason) {
    std::string line = LineStart(AsRunTimeOf(time), "skip");
    AppendField(line, "origin", WriteOriginName(WriteOrigin::Auto));
    AppendField(line, "cue", cue);
    AppendField(line, "text", reason);
    line += "}\n";
    return line;
}

void CAsRunLog::Skipped(int cue, const std::string& reason) {
    const auto now = std::chrono::system_clock::now();
    m_file.Append(AsRunTimeOf(now).day, AsRunSkipLine(now, cue, reason));
}

CAsRunLog::CAsRunLog(CaptionCommands& session, std::filesystem::path folder)
    : m_session(session),
      m_file(
          std::move(folder),
          [this](const std::string& reason) {
              m_notice = "As-run log not written: " + reason;
              m_session.ShowNotice(m_notice);
          },
          [this] { m_session.DropNotice(m_notice); }) {
    m_listenKey =
        m_session.OnAir().Listen([this](const UnitWrite& write, const OnAir&) { Hear(write); });
}

CAsRunLog::~CAsRunLog() {
    m_session.OnAir().Unlisten(m_listenKey);
}

void CAsRunLog::Hear(const UnitWrite& write) {
    if (write.kind == WriteKind::Tick) {
        HearTick(write);
        return;
    }
    m_file.Append(AsRunTimeOf(write.time).day, AsRunLine(write, write.port, write.device));
}

void CAsRunLog::HearTick(const UnitWrite& write) {
    const AsRunTime now = AsRunTimeOf(write.time);
    const std::optional<ClockReading> before =
        m_clock.Tick({std::chrono::steady_clock::now(), write.time, now.offset});
    if (!before) return;
    std::string line = LineStart(now, "clock");
    AppendField(line, "before", AsRunTimeOf(before->wall).local);
    AppendField(line, "after", now.local);
    line += "}\n";
    m_file.Append(now.day, line);
}
