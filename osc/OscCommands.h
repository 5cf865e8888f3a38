#pragma once

#include <optional>
#include <string>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "CueList.h"
#include "OscPacket.h"

// The messages the listener takes, as the caption session's commands and the cue list's.
namespace osc {

struct Command {
    enum class Kind { Select, Text, Corners, Send, Clear, CueTake, CueNext, CuePrevious };
    Kind kind = Kind::Send;
    // 1 to 4; 0 for the current screen (a Send with no screen).
    int screen = 0;
    std::string text;  // UTF-8, as it came
    int date = 0;
    int time = 0;
    int cue = 0;  // 0 for the next cue
};

// The command a message asks for; nothing for an address not known, a wrong count or type
// of arguments, or a number out of range. Where a number is meant an int or a float is
// taken (a panel's fader sends floats), a float only when it is whole.
std::optional<Command> CommandOf(const Message& message);

// Why a command was not run, or "" when it was.
using Outcome = std::string;

// Runs a command as the session's own, recorded with the origin "osc": a Put's text as if
// typed into the text box. Nothing runs while the session is busy.
Outcome Run(const Command& command, CaptionCommands& session, CueDeck* cues,
            const Cp1252Converter& convert = Cp1252FromUtf8);

}  // namespace osc
