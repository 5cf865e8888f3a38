#include "OscCommands.h"

#include <cmath>
#include <optional>

#include "Corners.h"
#include "Cp1252.h"
#include "LineEnds.h"

namespace osc {
namespace {

constexpr WriteOrigin kOsc = WriteOrigin::Osc;

std::optional<int> Number(const Argument& argument, int lowest, int highest) {
    double value = 0;
    if (argument.type == 'i' || argument.type == 'h')
        value = static_cast<double>(argument.integer);
    else if (argument.type == 'f' || argument.type == 'd')
        value = argument.real;
    else
        return std::nullopt;
    // A fraction names no screen or cue; NaN fails both comparisons.
    if (!(value >= lowest && value <= highest) || std::floor(value) != value) return std::nullopt;
    return static_cast<int>(value);
}

constexpr int kHighestCue = 1 << 30;

}  // namespace

std::optional<Command> CommandOf(const Message& message) {
    using Kind = Command::Kind;
    const auto& args = message.arguments;
    const std::string& address = message.address;
    const auto screenAt = [&args](std::size_t index) { return Number(args[index], 1, 4); };
    Command command;
    if (address == "/tessora/screen" && args.size() == 1) {
        const auto screen = screenAt(0);
        if (!screen) return std::nullopt;
        command.kind = Kind::Select;
        command.screen = *screen;
    } else if (address == "/tessora/text" && args.size() == 2) {
        const auto screen = screenAt(0);
        if (!screen || args[1].type != 's') return std::nullopt;
        command.kind = Kind::Text;
        command.screen = *screen;
        command.text = args[1].text;
    } else if (address == "/tessora/corners" && args.size() == 3) {
        const auto screen = screenAt(0);
        const auto date = Number(args[1], kCornerNone, kCornerBottomRight);
        const auto time = Number(args[2], kCornerNone, kCornerBottomRight);
        if (!screen || !date || !time) return std::nullopt;
        command = {Kind::Corners, *screen, {}, *date, *time, 0};
    } else if (address == "/tessora/send" && args.size() <= 1) {
        command.kind = Kind::Send;
        if (args.size() == 1) {
            const auto screen = screenAt(0);
            if (!screen) return std::nullopt;
            command.screen = *screen;
        }
    } else if (address == "/tessora/clear" && args.empty()) {
        command.kind = Kind::Clear;
    } else if (address == "/tessora/cue/take" && args.size() <= 1) {
        command.kind = Kind::CueTake;
        if (args.size() == 1) {
            const auto cue = Number(args[0], 1, kHighestCue);
            if (!cue) return std::nullopt;
            command.cue = *cue;
        }
    } else if (address == "/tessora/cue/next" && args.empty()) {
        command.kind = Kind::CueNext;
    } else if (address == "/tessora/cue/previous" && args.empty()) {
        command.kind = Kind::CuePrevious;
    } else {
        return std::nullopt;
    }
    return command;
}

Outcome Run(const Command& command, CaptionCommands& session, CueDeck* cues,
            const Cp1252Converter& convert) {
    using Kind = Command::Kind;
    if (session.Busy()) return "a dialog is open in the program";
    switch (command.kind) {
        case Kind::Select:
            session.Select(command.screen);
            break;
        case Kind::Text: {
            ScreenChange change;
            change.text = BoxLineEnds(convert(command.text));
            session.Put(command.screen, change, kOsc);
            break;
        }
        case Kind::Corners: {
            ScreenChange change;
            change.dateCorner = command.date;
            change.timeCorner = command.time;
            session.Put(command.screen, change, kOsc);
            break;
        }
        case Kind::Send:
            if (command.screen != 0) session.Select(command.screen);
            if (!session.Send(kOsc)) return Utf8FromCp1252(session.Refusal());
            break;
        case Kind::Clear:
            session.Clear(kOsc);
            break;
        case Kind::CueTake:
        case Kind::CueNext:
        case Kind::CuePrevious: {
            if (!cues || !cues->Loaded()) return "no cue list is open";
            if (command.kind != Kind::CueTake) {
                cues->MoveNext(command.kind == Kind::CueNext ? 1 : -1);
                break;
            }
            using Take = CueDeck::TakeResult;
            const Take result = command.cue != 0 ? cues->Take(command.cue) : cues->TakeNext();
            switch (result) {
                case Take::Taken:
                    return Utf8FromCp1252(session.Refusal());
                case Take::NoList:
                    return "no cue list is open";
                case Take::NoCue:
                    return command.cue == 0 ? "the list is at its end" : "no such cue";
                case Take::Busy:
                    return "a dialog is open in the program";
                case Take::HandTyped:
                    return "the cue screen holds unsaved text typed by hand";
                case Take::Repeated:
                    return cues->Why(result);
                case Take::Refused:
                    return cues->Refusal();
            }
            break;
        }
    }
    return {};
}

}  // namespace osc
