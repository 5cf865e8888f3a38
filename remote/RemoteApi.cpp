#include "RemoteApi.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <cmath>

namespace remote {
namespace {

constexpr std::string_view kPrefix = "/api/v1/";
constexpr int kScreens = 4;
constexpr int kCorners = 4;
// More than any list a file the program takes can hold.
constexpr int kHighestCue = 1000000000;

Refusal Bad(std::string reason) {
    return Refusal{400, std::move(reason), {}};
}
Refusal NotFound() {
    return Refusal{404, "no such path", {}};
}
Refusal WrongMethod(std::string allow) {
    return Refusal{405, "method not allowed here", std::move(allow)};
}

// The screen number of a path segment: all digits, else nothing (the path is unknown).
std::optional<long> Number(std::string_view segment) {
    if (segment.empty() || segment.size() > 9) return std::nullopt;
    long value = 0;
    for (char c : segment) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool Blank(std::string_view body) {
    return body.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The body as a JSON object; an empty body is an empty object where allowEmpty.
std::variant<QJsonObject, Refusal> ObjectOf(std::string_view body, bool allowEmpty) {
    if (Blank(body)) {
        if (allowEmpty) return QJsonObject();
        return Bad("the body must be a JSON object");
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(
        QByteArray(body.data(), static_cast<qsizetype>(body.size())), &error);
    if (error.error != QJsonParseError::NoError)
        return Bad("bad JSON: " + error.errorString().toStdString());
    if (!doc.isObject()) return Bad("the body must be a JSON object");
    return doc.object();
}

// A whole number from lowest to highest, or why not.
std::variant<std::int32_t, Refusal> Whole(const QJsonValue& value, const char* name, int lowest,
                                          int highest) {
    const std::string range = std::string(name) + " must be a whole number from " +
                              std::to_string(lowest) + " to " + std::to_string(highest);
    if (!value.isDouble()) return Bad(range);
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::floor(number) != number || number < lowest ||
        number > highest)
        return Bad(range);
    return static_cast<std::int32_t>(number);
}

// A caption text holds what a text box can: no control characters but tab and line ends.
bool Typeable(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == 0x7F) return false;
    }
    return true;
}

std::variant<Request, Refusal> ParseEdit(Request request, const QJsonObject& body) {
    for (auto it = body.begin(); it != body.end(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("text")) {
            if (!it.value().isString()) return Bad("text must be a string");
            const QString text = it.value().toString();
            if (!Typeable(text)) return Bad("text holds a control character");
            request.edit.text = text.toStdString();
        } else if (key == QLatin1String("date") || key == QLatin1String("time")) {
            const bool date = key == QLatin1String("date");
            auto corner = Whole(it.value(), date ? "date" : "time", 0, kCorners);
            if (auto* refusal = std::get_if<Refusal>(&corner)) return *refusal;
            (date ? request.edit.date : request.edit.time) = std::get<std::int32_t>(corner);
        } else {
            return Bad("unknown field: " + key.toStdString());
        }
    }
    return request;
}

}  // namespace

std::variant<Request, Refusal> ParseRequest(std::string_view method, std::string_view path,
                                            std::string_view body) {
    if (path.substr(0, kPrefix.size()) != kPrefix) return NotFound();
    const std::string_view rest = path.substr(kPrefix.size());

    Request request;
    std::string_view allow;
    if (rest == "status") {
        request.action = Action::Status;
        allow = "GET";
    } else if (rest == "send") {
        request.action = Action::Send;
        allow = "POST";
    } else if (rest == "events") {
        request.action = Action::Events;
        allow = "GET";
    } else if (rest == "clear") {
        request.action = Action::Clear;
        allow = "POST";
    } else if (rest == "cues") {
        request.action = Action::Cues;
        allow = "GET";
    } else if (rest == "cues/take" || rest == "cues/next" || rest == "cues/previous") {
        request.action = rest == "cues/take"   ? Action::CueTake
                         : rest == "cues/next" ? Action::CueNext
                                               : Action::CuePrevious;
        allow = "POST";
    } else if (rest == "automation") {
        request.action = Action::Automation;
        allow = "POST";
    } else if (rest.substr(0, 8) == "screens/") {
        std::string_view tail = rest.substr(8);
        const std::size_t slash = tail.find('/');
        const std::optional<long> number = Number(tail.substr(0, slash));
        if (!number) return NotFound();
        if (slash == std::string_view::npos) {
            request.action = Action::PutScreen;
            allow = "PUT";
        } else if (tail.substr(slash) == "/select") {
            request.action = Action::SelectScreen;
            allow = "POST";
        } else {
            return NotFound();
        }
        if (method != allow) return WrongMethod(std::string(allow));
        if (*number < 1 || *number > kScreens) return Bad("the screen must be 1 to 4");
        request.screen = static_cast<int>(*number);
    } else {
        return NotFound();
    }
    if (method != allow) return WrongMethod(std::string(allow));

    if (request.action == Action::Status || request.action == Action::Events ||
        request.action == Action::Cues)
        return request;
    auto parsed = ObjectOf(body, request.action != Action::PutScreen);
    if (auto* refusal = std::get_if<Refusal>(&parsed)) return *refusal;
    const QJsonObject& object = std::get<QJsonObject>(parsed);

    if (request.action == Action::PutScreen) return ParseEdit(request, object);
    if (request.action == Action::Automation) {
        for (auto it = object.begin(); it != object.end(); ++it)
            if (it.key() != QLatin1String("hold"))
                return Bad("unknown field: " + it.key().toStdString());
        if (!object.value(QLatin1String("hold")).isBool()) return Bad("hold must be true or false");
        request.hold = object.value(QLatin1String("hold")).toBool();
        return request;
    }
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (request.action == Action::Send && it.key() == QLatin1String("screen")) {
            auto screen = Whole(it.value(), "screen", 1, kScreens);
            if (auto* refusal = std::get_if<Refusal>(&screen)) return *refusal;
            request.screen = std::get<std::int32_t>(screen);
        } else if (request.action == Action::CueTake && it.key() == QLatin1String("cue")) {
            auto cue = Whole(it.value(), "cue", 1, kHighestCue);
            if (auto* refusal = std::get_if<Refusal>(&cue)) return *refusal;
            request.cue = std::get<std::int32_t>(cue);
        } else {
            return Bad("unknown field: " + it.key().toStdString());
        }
    }
    return request;
}

bool Authorized(std::string_view expectedToken, std::string_view authorization) {
    if (expectedToken.empty()) return false;
    constexpr std::string_view kScheme = "bearer ";
    if (authorization.size() < kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        const char c = authorization[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != kScheme[i]) return false;
    }
    const std::string_view given = authorization.substr(kScheme.size());
    // Every byte of the expected token is compared whatever the given one holds, so the time
    // says nothing of how much of it was right.
    unsigned char difference = given.size() == expectedToken.size() ? 0 : 1;
    for (std::size_t i = 0; i < expectedToken.size(); ++i) {
        const char theirs = given.empty() ? '\0' : given[i % given.size()];
        difference |= static_cast<unsigned char>(theirs ^ expectedToken[i]);
    }
    return difference == 0;
}

namespace {

QJsonObject AutomationObject(const AutomationState& automation) {
    QJsonValue next = QJsonValue::Null;
    if (automation.hasNext)
        next = QJsonObject{
            {QStringLiteral("action"), QString::fromStdString(automation.action)},
            {QStringLiteral("cue"), automation.cue},
            {QStringLiteral("at"), automation.at.empty()
                                       ? QJsonValue(QJsonValue::Null)
                                       : QJsonValue(QString::fromStdString(automation.at))},
            {QStringLiteral("in_ms"), static_cast<qint64>(automation.inMs)},
        };
    return QJsonObject{{QStringLiteral("held"), automation.held}, {QStringLiteral("next"), next}};
}

QJsonObject StatusObject(const Status& status) {
    const auto text = [](const std::string& utf8) { return QString::fromStdString(utf8); };
    const auto rows = [&](const std::vector<std::string>& lines) {
        QJsonArray array;
        for (const std::string& line : lines) array.append(text(line));
        return array;
    };
    QJsonArray screens;
    for (const ScreenState& screen : status.screens)
        screens.append(QJsonObject{
            {QStringLiteral("text"), text(screen.text)},
            {QStringLiteral("date"), screen.date},
            {QStringLiteral("time"), screen.time},
        });
    QJsonValue backup;
    if (status.backup)
        backup = QJsonObject{{QStringLiteral("port"), text(status.backup->port)},
                             {QStringLiteral("device"), text(status.backup->device)},
                             {QStringLiteral("live"), status.backup->live},
                             {QStringLiteral("reason"), text(status.backup->reason)}};
    return QJsonObject{
        {QStringLiteral("port"), text(status.port)},
        {QStringLiteral("device"), text(status.device)},
        {QStringLiteral("connected"), status.connected},
        {QStringLiteral("screen"), status.screen},
        {QStringLiteral("title"), text(status.title)},
        {QStringLiteral("modified"), status.modified},
        {QStringLiteral("message"), text(status.message)},
        {QStringLiteral("clock"),
         QLatin1String(ClockStateName(status.clockKnown, status.clockSynchronised))},
        {QStringLiteral("screens"), screens},
        {QStringLiteral("next"), rows(status.next)},
        {QStringLiteral("unit"), rows(status.unit)},
        {QStringLiteral("on_air"),
         QJsonObject{
             {QStringLiteral("cleared"), status.onAir.cleared},
             {QStringLiteral("screen"), status.onAir.screen},
             {QStringLiteral("text"), text(status.onAir.content.text)},
             {QStringLiteral("date"), status.onAir.content.date},
             {QStringLiteral("time"), status.onAir.content.time},
             {QStringLiteral("origin"), text(status.onAir.origin)},
             {QStringLiteral("cue"), status.onAir.cue},
         }},
        {QStringLiteral("automation"), AutomationObject(status.automation)},
        {QStringLiteral("backup"), backup},
    };
}

}  // namespace

const char* ClockStateName(bool known, bool synchronised) {
    return !known ? "unknown" : synchronised ? "synchronised" : "not synchronised";
}

std::string StatusJson(const Status& status) {
    return QJsonDocument(StatusObject(status)).toJson(QJsonDocument::Compact).toStdString();
}

std::string StateMessageJson(const Status& status) {
    QJsonObject object = StatusObject(status);
    object.insert(QStringLiteral("type"), QStringLiteral("state"));
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

std::string AutomationMessageJson(const AutomationState& automation) {
    const QJsonObject object{{QStringLiteral("type"), QStringLiteral("automation")},
                             {QStringLiteral("automation"), AutomationObject(automation)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

std::string ErrorJson(std::string_view reason) {
    const QJsonObject object{
        {QStringLiteral("error"),
         QString::fromUtf8(reason.data(), static_cast<qsizetype>(reason.size()))}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace remote
