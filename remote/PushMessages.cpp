#include "PushMessages.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <chrono>

#include "Charset.h"
#include "CueJson.h"
#include "RemoteApi.h"

namespace remote {
namespace {

std::string Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

// UTC, to the millisecond.
QString Moment(std::chrono::system_clock::time_point time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QString LineStateName(const SessionState& before, const SessionState& after) {
    if (after.live) return before.live || before.port != after.port ? "live" : "back";
    return after.lost ? "lost" : "closed";
}

}  // namespace

std::vector<std::string> ChangeMessages(const SessionState& before, const SessionState& after) {
    std::vector<std::string> messages;
    if (before.screen != after.screen)
        messages.push_back(Compact({{"type", "screen"}, {"screen", after.screen}}));
    if (before.modified != after.modified)
        messages.push_back(Compact({{"type", "modified"}, {"modified", after.modified}}));
    if (before.live != after.live || before.lost != after.lost || before.port != after.port ||
        before.device != after.device || before.lineText != after.lineText)
        messages.push_back(Compact({{"type", "line"},
                                    {"line", "main"},
                                    {"state", LineStateName(before, after)},
                                    {"connected", after.live},
                                    {"port", QString::fromStdString(after.port)},
                                    {"device", QString::fromStdString(after.device)},
                                    {"text", FromAnsi(after.lineText)},
                                    {"reason", QString::fromStdString(after.lineReason)}}));
    const BackupLineState& was = before.backup;
    const BackupLineState& is = after.backup;
    if (was.live != is.live || was.port != is.port || was.device != is.device ||
        was.reason != is.reason || was.refusal != is.refusal)
        messages.push_back(Compact(
            {{"type", "line"},
             {"line", "backup"},
             {"state", is.live ? (was.live || was.port != is.port ? "live" : "back")
                               : (is.port.empty() ? "none" : "lost")},
             {"connected", is.live},
             {"port", QString::fromStdString(is.port)},
             {"device", QString::fromStdString(is.device)},
             {"reason", QString::fromStdString(is.refusal.empty() ? is.reason : is.refusal)}}));
    if (before.clockSynchronised != after.clockSynchronised ||
        before.clockKnown != after.clockKnown)
        messages.push_back(
            Compact({{"type", "clock"},
                     {"clock", ClockStateName(after.clockKnown, after.clockSynchronised)}}));
    return messages;
}

std::optional<std::string> WriteMessage(const UnitWrite& write, const OnAir& now) {
    if (!write.taken || write.kind == WriteKind::Tick) return std::nullopt;
    const bool cleared = write.kind == WriteKind::Clear || write.kind == WriteKind::Greeting;
    return Compact({{"type", cleared ? "cleared" : "on_air"},
                    {"kind", WriteKindName(write.kind)},
                    {"at", Moment(write.time)},
                    {"on_air", QJsonObject{{"cleared", now.cleared},
                                           {"screen", now.screen},
                                           {"text", FromAnsi(now.text)},
                                           {"date", now.dateCorner},
                                           {"time", now.timeCorner},
                                           {"origin", WriteOriginName(now.origin)}}}});
}

AutomationState AutomationOf(const CueDeck& deck) {
    AutomationState automation;
    automation.held = deck.Timer().Held();
    const std::optional<UpcomingAction> next = deck.Timer().Upcoming();
    if (!next) return automation;
    automation.hasNext = true;
    automation.action = TimedActionName(next->kind);
    automation.cue = next->cue;
    if (next->at) {
        automation.at = TimeOfDayText(static_cast<int>((*next->at % 86400 + 86400) % 86400));
        automation.key = *next->at;
    } else if (next->holdEnd) {
        automation.key = next->holdEnd->time_since_epoch().count();
    }
    automation.inMs = MillisecondsUntil(*next, deck.Now());
    return automation;
}

std::string CueMessage(const CueDeck& deck) {
    // The list's state is an object of its own; the message is that object with its type.
    return R"({"type":"cue",)" + CueStateJson(deck, false).substr(1);
}

}  // namespace remote
