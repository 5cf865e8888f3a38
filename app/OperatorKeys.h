#pragma once

#include <vector>

#include "DHtmlDialog.h"

// The keys an operator on air reaches for, as the main window's key table. Each posts the
// message the matching button or tab posts, so it runs the same command with the same
// prompts. On the strip only the keys that put a screen on the picture and F2 are live:
// the file commands would change the screens where the operator cannot see them.
std::vector<DHtmlKeyMapEntry> OperatorKeyMap(CDHtmlDialog& window);
