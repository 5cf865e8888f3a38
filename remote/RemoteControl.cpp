#include "RemoteControl.h"

#include <QString>

#include "Charset.h"
#include "Cp1252.h"
#include "CueJson.h"
#include "DisplayText.h"
#include "LineEnds.h"
#include "PushMessages.h"

namespace remote {
namespace {

std::vector<std::string> Rows(const CCaptionDisplay& display) {
    std::vector<std::string> rows;
    for (int row = 0; row < CCaptionDisplay::kRows; ++row) rows.push_back(RowText(display, row));
    return rows;
}

}  // namespace

std::optional<Refusal> RemoteControl::Run(const Request& request) {
    constexpr WriteOrigin kRemote = WriteOrigin::Remote;
    switch (request.action) {
        case Action::Status:
        case Action::Events:
        // The cue list's requests go to RunCues.
        case Action::Cues:
        case Action::CueTake:
        case Action::CueNext:
        case Action::CuePrevious:
            break;
        case Action::Automation:
            if (!m_cues) return Refusal{409, "no cue list is served", {}};
            m_cues->SetHeld(request.hold);
            break;
        case Action::SelectScreen:
            m_session.Select(request.screen);
            break;
        case Action::Send: {
            if (request.screen != 0) m_session.Select(request.screen);
            m_session.Send(kRemote);
            // Nothing of a Send the line did not take went out: the caller hears why, as the
            // operator does on the message line.
            const std::string refused = m_session.Refusal();
            if (!refused.empty()) return Refusal{kNotDone, Utf8FromCp1252(refused), {}};
            break;
        }
        case Action::Clear:
            m_session.Clear(kRemote);
            break;
        case Action::PutScreen: {
            ScreenChange change;
            // As if typed into the text box: Windows-1252 ("?" for what it cannot hold), and
            // new lines as the box holds them.
            if (request.edit.text) change.text = BoxLineEnds(AnsiFromUtf8(*request.edit.text));
            change.dateCorner = request.edit.date;
            change.timeCorner = request.edit.time;
            m_session.Put(request.screen, change, kRemote);
            break;
        }
    }
    return std::nullopt;
}

std::variant<std::string, Refusal> RemoteControl::RunCues(const Request& request) {
    if (!m_cues) return Refusal{409, "no cue list is open", {}};
    if (request.action == Action::Cues) return CueStateJson(*m_cues, true);
    if (!m_cues->Loaded()) return Refusal{409, "no cue list is open", {}};
    using Take = CueDeck::TakeResult;
    Take result = Take::Taken;
    if (request.action == Action::CueTake)
        result = request.cue != 0 ? m_cues->Take(request.cue) : m_cues->TakeNext();
    else
        m_cues->MoveNext(request.action == Action::CueNext ? 1 : -1);
    switch (result) {
        case Take::Taken: {
            // A take whose Send the line had no room for put nothing on air.
            const std::string refused =
                request.action == Action::CueTake ? m_session.Refusal() : std::string();
            if (!refused.empty()) return Refusal{kNotDone, Utf8FromCp1252(refused), {}};
            break;
        }
        case Take::NoList:
            break;
        case Take::NoCue:
            if (request.cue == 0) return Refusal{409, "the list is at its end", {}};
            return Refusal{400, "cue must be 1 to " + std::to_string(m_cues->Cues().size()), {}};
        case Take::Busy:
            return Refusal{409, "a dialog is open in the program", {}};
        case Take::Repeated:
            return Refusal{409, m_cues->Why(result), {}};
        case Take::HandTyped:
            return Refusal{409,
                           "screen " + std::to_string(m_cues->Screen()) +
                               " holds unsaved text typed by hand; take the cue in the window, "
                               "which asks first, or save",
                           {}};
        case Take::Refused:
            return Refusal{409, m_cues->Refusal(), {}};
    }
    return CueStateJson(*m_cues, false);
}

Status RemoteControl::CurrentStatus() {
    const SessionState state = m_session.State();
    Status status;
    status.port = state.port;
    status.device = state.device;
    status.connected = state.live;
    status.screen = state.screen;
    status.title = state.title;
    status.modified = state.modified;
    status.message = Utf8FromCp1252(state.message);
    status.clockSynchronised = state.clockSynchronised;
    status.clockKnown = state.clockKnown;
    for (std::size_t index = 0; index < state.screens.size(); ++index)
        status.screens[index] = {Utf8FromCp1252(state.screens[index].text),
                                 state.screens[index].dateCorner, state.screens[index].timeCorner};
    const OnAir& onAir = m_session.OnAir().Now();
    status.onAir = {onAir.cleared, onAir.screen,
                    ScreenState{Utf8FromCp1252(onAir.text), onAir.dateCorner, onAir.timeCorner},
                    WriteOriginName(onAir.origin), onAir.cue};
    if (m_cues) status.automation = AutomationOf(*m_cues);
    status.next = Rows(m_session.NextSend().display);
    status.unit = Rows(m_session.UnitDisplay());
    const BackupLineState& backup = state.backup;
    if (!backup.port.empty() || !backup.refusal.empty())
        status.backup = Status::Backup{backup.port, backup.device, backup.live,
                                       backup.refusal.empty() ? backup.reason : backup.refusal};
    return status;
}

void RemoteControl::Push(PushSink sink) {
    if (sink)
        m_feed.Start(std::move(sink));
    else
        m_feed.Stop();
}

void RemoteControl::ServeCues(CueDeck* deck) {
    m_cues = deck;
    m_feed.WatchCues(deck);
}

}  // namespace remote
