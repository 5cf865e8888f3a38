#include "CaptionSession.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "Commands.h"
#include "Cp1252.h"
#include "LineEnds.h"
#include "ScreenWrites.h"
#include "Stamps.h"

namespace {

constexpr char kSendNotMade[] = "Send not made: ";
constexpr char kBackupBack[] = "Backup given the picture: ";
constexpr char kBackupDown[] = "Backup line down: ";
constexpr char kBackupFed[] = " (the backup is still fed: ";
// The greeting stays on the picture this long before the clear.
constexpr std::chrono::milliseconds kGreetingPause{1500};
// A backup down or behind is looked at this often, between the ticks: one plugged back is
// given the picture well within a second of coming back.
constexpr std::chrono::milliseconds kBackupRetry{100};

}  // namespace

// A command's changes are told once, as it ends, however many parts it has.
class CommandScope {
public:
    explicit CommandScope(int& depth, bool& changed, std::function<void()> tell)
        : m_depth(depth), m_changed(changed), m_tell(std::move(tell)) {
        ++m_depth;
    }
    ~CommandScope() {
        if (--m_depth == 0 && std::exchange(m_changed, false)) m_tell();
    }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    int& m_depth;
    bool& m_changed;
    std::function<void()> m_tell;
};

CCaptionSession::CCaptionSession(SessionClock clock, LineVoice voice)
    : m_clock(std::move(clock)),
      m_writer(m_port, m_backup, m_clock),
      m_onAir(m_writer.Record()),
      m_line(
          m_port, voice, [this] { StateChanged(); }, [this] { Greet(); }),
      // The backup's own watch says nothing on the message line: the session does, once.
      m_backupLine(
          m_backup, LineVoice{{}, voice.shown}, [this] { StateChanged(); }, [] {}),
      m_voice(voice) {
    m_writer.onQueued = [this] {
        if (onQueued) onQueued();
    };
    m_toCp1252 = std::move(voice.shown);
    // The main line down, the show goes on on the backup: the message line says so.
    m_line.SetBeside([this]() -> std::string {
        if (!m_backup || m_backup->State() != CPort::LineState::Live || m_writer.BackupBehind())
            return {};
        const std::string& device = m_backup->DevicePath();
        return kBackupFed + (m_voice.shown ? m_voice.shown(device) : device) + ")";
    });
}

CCaptionSession::~CCaptionSession() {
    *m_alive = false;
}

void CCaptionSession::SetPort(std::unique_ptr<CPort> port) {
    m_port = std::move(port);
}

void CCaptionSession::ClosePort() {
    if (m_port) m_port->Close();
    m_port.reset();
    if (m_backup) m_backup->Close();
    m_backup.reset();
}

void CCaptionSession::UseBackup(const std::u16string& name, const PortResolver& resolver) {
    m_backupName = name;
    m_backupResolver = resolver;
    ApplyBackup();
}

void CCaptionSession::ApplyBackup() {
    if (m_backup) m_backup->Close();
    m_backup.reset();
    if (!m_backupRefusal.empty())
        DropNotice(m_toCp1252 ? m_toCp1252(m_backupRefusal) : m_backupRefusal);
    m_backupRefusal.clear();
    m_backupCheckedWith.clear();
    if (m_port) m_port->GetPortName(&m_backupCheckedWith);
    if (m_backupName.empty() || !m_backupResolver) return;
    const PortResolver& resolver = *m_backupResolver;
    const std::u16string& name = m_backupName;
    m_backupRefusal = resolver.BackupRefusal(name, m_backupCheckedWith);
    if (!m_backupRefusal.empty()) {
        std::fprintf(stderr, "tessora: %s\n", m_backupRefusal.c_str());
        ShowNotice(m_toCp1252 ? m_toCp1252(m_backupRefusal) : m_backupRefusal);
        return;
    }
    m_backup = std::make_unique<CPort>(resolver.Resolver());
    m_backup->SetPort(name.c_str());
    // Whatever it shows now, it is given the picture once its line is up.
    m_writer.SetBackupBehind();
}

void CCaptionSession::ConnectBackup() {
    std::u16string mainName;
    m_port->GetPortName(&mainName);
    if (m_backupResolver && mainName != m_backupCheckedWith) ApplyBackup();
    if (!m_backup) return;
    // Opened beside the main line, the backup is greeted with it; one that is not up is tried
    // once a tick, and given the picture when it is.
    if (m_backup->Open() == 0 && m_backup->State() == CPort::LineState::Live) {
        // A main line that is down greets nobody: the backup is given the picture instead.
        if (m_port->State() == CPort::LineState::Live)
            m_writer.CatchUp({});
        else
            m_writer.SetBackupBehind();
        return;
    }
    m_writer.SetBackupBehind();
    ShowNotice(kBackupDown +
               (m_voice.shown ? m_voice.shown(m_backup->DevicePath()) : m_backup->DevicePath()));
    m_backupLine.Resume(false);
}

void CCaptionSession::WatchBackup() {
    if (!m_backup) return;
    const bool wasLost = m_backupLine.Lost();
    if (m_backup->State() != CPort::LineState::Live) {
        if (!wasLost) {
            const std::string lost =
                kBackupDown +
                (m_voice.shown ? m_voice.shown(m_backup->DevicePath()) : m_backup->DevicePath());
            if (m_voice.announce) m_voice.announce("backup lost", m_backup->DevicePath());
            ShowNotice(lost);
        }
        m_writer.SetBackupBehind();
    }
    // Tries a lost line's device again; the watch notices a line that went down.
    m_backupLine.Watch();
    if (!m_writer.BackupBehind()) return;
    // Bytes from before still queued go out first; the picture follows once they have.
    if (m_backup->State() != CPort::LineState::Live || m_backup->QueuedBytes() > 0) {
        if (m_clock.later && !std::exchange(m_backupRetry, true))
            m_clock.later(kBackupRetry, [this, alive = m_alive] {
                if (!*alive) return;
                m_backupRetry = false;
                WatchBackup();
            });
        return;
    }
    const int index = m_screen - 1;
    // The newest picture, not the record's: a Send still on its way to the main unit is
    // what both units are to show.
    const ::OnAir& now = m_writer.Given();
    const std::time_t clock = std::chrono::system_clock::to_time_t(m_clock.now());
    const ScreenWrites picture =
        now.cleared ? ComposeClear(m_doc.GetDateCorner(index), m_doc.GetTimeCorner(index), clock)
                    : ComposeSend(now.text, now.dateCorner, now.timeCorner, clock);
    if (!m_writer.CatchUp(picture.Writes())) return;
    const std::string& device = m_backup->DevicePath();
    std::fprintf(stderr, "tessora: backup given the picture: %s\n", device.c_str());
    if (m_voice.announce) m_voice.announce("backup back", device);
    m_line.ShowPassingNotice(kBackupBack + (m_voice.shown ? m_voice.shown(device) : device));
}

void CCaptionSession::StateChanged() {
    if (m_commandDepth > 0) {
        m_changedInCommand = true;
        return;
    }
    // A listener may stop listening while it is told.
    const auto listeners = m_listeners;
    for (const auto& [key, listener] : listeners) listener();
}

int CCaptionSession::ListenStateChanged(std::function<void()> listener) {
    m_listeners.emplace(m_nextListener, std::move(listener));
    return m_nextListener++;
}

void CCaptionSession::StopListening(int key) {
    m_listeners.erase(key);
}

void CCaptionSession::Select(int screen) {
    if (screen < 1 || screen > CTessoraFile::kScreenCount) return;
    m_screen = screen;
    StateChanged();
}

bool CCaptionSession::Change(int screen, const ScreenChange& change, WriteOrigin origin,
                             bool& cornerChanged) {
    const int index = screen - 1;
    bool changed = false;
    if (change.text) {
        // New lines end as the text's own do, as if typed into the text box.
        std::string text = KeepLineEnds(m_doc.Text(index), *change.text);
        if (text != m_doc.Text(index)) {
            m_doc.Text(index) = std::move(text);
            changed = true;
        }
    }
    for (auto [value, field] : {std::pair{change.dateCorner, &m_doc.DateCorner(index)},
                                std::pair{change.timeCorner, &m_doc.TimeCorner(index)}}) {
        if (value && *value != *field) {
            *field = *value;
            changed = cornerChanged = true;
        }
    }
    // A cue played, by hand or timed, is no change to save: the file still holds what it held.
    if (changed && origin != WriteOrigin::Cue && origin != WriteOrigin::Auto) m_modified = true;
    return changed;
}

void CCaptionSession::Put(int screen, const ScreenChange& change, WriteOrigin origin) {
    if (screen < 1 || screen > CTessoraFile::kScreenCount) return;
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    bool cornerChanged = false;
    if (!Change(screen, change, origin, cornerChanged)) return;
    StateChanged();
    // The page's corner lists resend the current screen when they change; so does this.
    if (m_screen == screen && cornerChanged && origin != WriteOrigin::Cue) ResendCorners(origin);
}

bool CCaptionSession::Send(WriteOrigin origin) {
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    return SendScreen(WriteKind::Send, origin, 0);
}

void CCaptionSession::ResendCorners(WriteOrigin origin) {
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    m_modified = true;
    SendScreen(WriteKind::CornerResend, origin, 0);
}

bool CCaptionSession::SendScreen(WriteKind kind, WriteOrigin origin, int cue) {
    const int index = m_screen - 1;
    UnitWrite write;
    write.kind = kind;
    write.origin = origin;
    write.screen = m_screen;
    write.cue = cue;
    write.text = m_doc.Text(index);
    write.dateCorner = m_doc.GetDateCorner(index);
    write.timeCorner = m_doc.GetTimeCorner(index);
    const ScreenWrites send = ComposeSend(write.text, write.dateCorner, write.timeCorner,
                                          std::chrono::system_clock::to_time_t(m_clock.now()));
    // Without the warning, the line's own text, a notice or the clock's is back at once.
    m_line.SetSendText(send.layout.tooLong ? std::string(kTooLongWarning) : std::string());
    const std::error_code refused = m_writer.Write(std::move(write), send.Writes());
    m_refusal.clear();
    if (refused == std::errc::no_buffer_space)
        m_refusal = std::string(kSendNotMade) + "the line is still busy with the last one";
    else if (refused == std::errc::not_connected)
        m_refusal = std::string(kSendNotMade) + "the line is down";
    else if (refused == std::errc::message_size)
        m_refusal = std::string(kSendNotMade) + "the text is too long for one write to the line";
    else if (refused)
        m_refusal = kSendNotMade + (m_toCp1252 ? m_toCp1252(refused.message()) : refused.message());
    // A Send that did not go out says so over its too-long warning: nothing of it is on air.
    if (refused) m_line.SetSendText(m_refusal);
    StateChanged();
    return !refused;
}

void CCaptionSession::Clear(WriteOrigin origin) {
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    const int index = m_screen - 1;
    UnitWrite clear;
    clear.kind = WriteKind::Clear;
    clear.origin = origin;
    clear.screen = m_screen;
    m_writer.Write(clear, ComposeClear(m_doc.GetDateCorner(index), m_doc.GetTimeCorner(index),
                                       std::chrono::system_clock::to_time_t(m_clock.now()))
                              .Writes());
    StateChanged();
}

CCaptionSession::PlayResult CCaptionSession::Play(int screen, const ScreenContent& content,
                                                  WriteOrigin origin, int cue, bool replaceTyped) {
    if (screen < 1 || screen > CTessoraFile::kScreenCount) return PlayResult::HandTyped;
    if (!replaceTyped) {
        // Unsaved text in the screen that no Play put there was typed by hand.
        const std::string shown = BoxLineEnds(m_doc.Text(screen - 1));
        if (m_modified && !shown.empty() && shown != m_lastPlayed) return PlayResult::HandTyped;
    }
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    m_lastPlayed = content.text;
    bool cornerChanged = false;
    Change(screen, ScreenChange{content.text, content.dateCorner, content.timeCorner}, origin,
           cornerChanged);
    m_screen = screen;
    SendScreen(WriteKind::Send, origin, cue);
    return PlayResult::Played;
}

void CCaptionSession::Type(const std::string& boxedText, std::int32_t dateCorner,
                           std::int32_t timeCorner) {
    const int index = m_screen - 1;
    // The text box holds every line end as LF: lines the operator left alone keep the ones
    // the text had, so an untouched text goes out and is saved as loaded.
    std::string text = KeepLineEnds(m_doc.Text(index), boxedText);
    if (text == m_doc.Text(index) && dateCorner == m_doc.DateCorner(index) &&
        timeCorner == m_doc.TimeCorner(index))
        return;
    m_doc.Text(index) = std::move(text);
    m_doc.DateCorner(index) = dateCorner;
    m_doc.TimeCorner(index) = timeCorner;
    StateChanged();
}

void CCaptionSession::SetModified(bool modified) {
    if (m_modified == modified) return;
    m_modified = modified;
    StateChanged();
}

void CCaptionSession::Replace(CTessoraFile screens) {
    m_doc = std::move(screens);
    m_screen = 1;
    m_modified = false;
    StateChanged();
}

void CCaptionSession::SetTitle(std::string title) {
    m_title = std::move(title);
    StateChanged();
}

void CCaptionSession::ShowNotice(const std::string& text) {
    // It gives way to a line that is down and to the last Send's own word, and stays until
    // the next notice or the line coming back.
    m_line.ShowNotice(text);
}

void CCaptionSession::DropNotice(const std::string& text) {
    m_line.DropNotice(text);
}

void CCaptionSession::SetClock(bool synchronised, bool known, const std::string& warning) {
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    m_clockSynchronised = synchronised;
    m_clockKnown = known;
    m_line.SetStanding(warning);
    // The stamps of the next Send are no longer what they were said to be.
    StateChanged();
}

CCaptionSession::LineStart CCaptionSession::Connect(bool greetWhenBack) {
    if (!m_port) return LineStart::NotOpen;
    ConnectBackup();
    // A line lost while Setup was open is tried again now, not a tick later.
    if (m_port->State() == CPort::LineState::Lost) m_port->Reconnect();
    switch (m_port->State()) {
        case CPort::LineState::Live:
            break;
        case CPort::LineState::Lost:
            Resume(greetWhenBack);
            return LineStart::Lost;
        case CPort::LineState::Closed:
            // The port chosen does not open: the message line goes on saying so.
            m_line.Refresh();
            return LineStart::NotOpen;
    }
    m_line.Refresh();
    Greet();
    return LineStart::Live;
}

void CCaptionSession::Greet() {
    UnitWrite write;
    write.kind = WriteKind::Greeting;
    write.origin = WriteOrigin::Program;
    m_writer.Write(write, {kGreeting});
    // Kept on purpose, as the program always had it: a plain pause that holds the greeting
    // on the picture. It stalls the caller's thread (in the program, the window: no page
    // event, tick, key or remote command runs meanwhile), so nothing else reaches the unit.
    if (m_clock.pause) m_clock.pause(kGreetingPause);
    write.kind = WriteKind::Clear;
    m_writer.Write(write, {kClearCommand});
}

void CCaptionSession::Resume(bool greetWhenBack) {
    m_line.Resume(greetWhenBack);
}

void CCaptionSession::Tick() {
    CommandScope scope(m_commandDepth, m_changedInCommand, [this] { StateChanged(); });
    m_writer.FoldSent();
    m_line.Watch();
    WatchBackup();
    const int index = m_screen - 1;
    // localtime_r keeps the zone it first read; the operator may change it while the program
    // runs. tzset looks again (the zone file only when it changed).
#ifdef _WIN32
    _tzset();
#else
    tzset();
#endif
    const StampCommands stamps =
        ComposeStamps(m_doc.GetDateCorner(index), m_doc.GetTimeCorner(index),
                      std::chrono::system_clock::to_time_t(m_clock.now()));
    UnitWrite tick;
    tick.kind = WriteKind::Tick;
    tick.origin = WriteOrigin::Program;
    tick.screen = m_screen;
    m_writer.Write(tick, {stamps.date, stamps.time});
    // The stamps of the next Send read the new second.
    StateChanged();
}

SessionState CCaptionSession::State() const {
    SessionState state;
    if (m_port) {
        state.port = PortNameOf(*m_port);
        state.device = m_port->DevicePath();
        state.live = m_port->State() == CPort::LineState::Live;
        state.lost = !state.live && m_line.Lost();
        state.lineText = m_line.Text();
        std::error_code reason = state.live ? std::error_code() : m_port->LineReason();
        if (!state.live && !reason) reason = m_port->LastError();
        if (reason) state.lineReason = reason.message();
    }
    state.backup.refusal = m_backupRefusal;
    if (m_backup) {
        state.backup.port = PortNameOf(*m_backup);
        state.backup.device = m_backup->DevicePath();
        state.backup.live = m_backup->State() == CPort::LineState::Live;
        std::error_code reason = state.backup.live ? std::error_code() : m_backup->LineReason();
        if (!state.backup.live && !reason) reason = m_backup->LastError();
        if (reason) state.backup.reason = reason.message();
    }
    state.screen = m_screen;
    state.title = m_title;
    state.message = Message();
    state.modified = m_modified;
    state.clockSynchronised = m_clockSynchronised;
    state.clockKnown = m_clockKnown;
    for (int index = 0; index < CTessoraFile::kScreenCount; ++index)
        state.screens[static_cast<std::size_t>(index)] = {
            m_doc.Text(index), m_doc.DateCorner(index), m_doc.TimeCorner(index)};
    return state;
}

SendPreview CCaptionSession::NextSend() const {
    const int index = m_screen - 1;
    return PreviewSend(m_doc.Text(index), m_doc.DateCorner(index), m_doc.TimeCorner(index),
                       std::chrono::system_clock::to_time_t(m_clock.now()));
}
