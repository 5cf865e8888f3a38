#pragma once

#include <string>

#include "CueDeck.h"

// The cue list's state as the interface and the push channel send it, texts in UTF-8:
// {"file", "count", "screen", "loop", "next", "on_air", "next_text", "on_air_text"}, the
// numbers from 1 and 0 for none, the texts the cues' first lines; with rows, "rows" holds
// every cue as {"cue", "text", "date", "time", "note", "lossy", "cut", "commands"}.
std::string CueStateJson(const CueDeck& deck, bool withRows);
