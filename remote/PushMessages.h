#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CaptionCommands.h"
#include "CueDeck.h"
#include "OnAirRecord.h"
#include "RemoteApi.h"

// The push channel's messages: one JSON object each, its kind in "type", texts in UTF-8.
// Each says what changed under the same name and in the same form as the state message and
// GET /api/v1/status do ("on_air", "screen", "modified", "connected"), so a panel that reads
// one field by its path reads it from whichever message brings it.
namespace remote {

// What changed between two looks at the window: "screen" when another screen is selected,
// "modified" when the marker comes or goes, "line" when the line goes down, comes back or
// another port is chosen, "clock" when the machine's clock is found synchronised or not. Nothing
// for what a tick changes (the stamps, the next Send).
std::vector<std::string> ChangeMessages(const SessionState& before, const SessionState& after);

// A write the unit took, as a message with what is on air after it: "on_air" for a Send or a
// corner resend, "cleared" for a Clear or the greeting. Nothing for a tick, or for a write
// the port refused.
std::optional<std::string> WriteMessage(const UnitWrite& write, const OnAir& now);

// The timed cues' switch and what fires next, as the status and the message "automation"
// tell them.
AutomationState AutomationOf(const CueDeck& deck);

// The cue list's state as a message: "cue", with the next cue and the one on air.
std::string CueMessage(const CueDeck& deck);

}  // namespace remote
