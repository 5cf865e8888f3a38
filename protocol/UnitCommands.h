#pragma once

#include <string_view>

// Whether text holds bytes the caption unit reads as its own commands rather than as text:
// the clear ("{A19") or a position ("{C" and four decimal digits). Such text is sent as it
// stands, so an operator may place a row or clear the display from a caption; this only
// tells that it does. The text is looked at as written: a command that the row layout
// splits at a line's break reaches the unit as text, and is still counted here.
bool HoldsUnitCommands(std::string_view text);
