#pragma once

#include <functional>
#include <string>

#include "WindowTypes.h"

// The program's message box: caption "Tessora", the given text (8-bit, Windows-1252) and
// buttons; with no icon given, the buttons that ask something get the warning icon.
// A detail (UTF-8) is shown as the box's detailed text. Returns IDOK, IDCANCEL, IDYES or IDNO.
int AfxMessageBox(const std::string& text, unsigned type = MB_OK, const std::string& detail = {});

// Lets tests answer message boxes instead of a person; an empty hook restores the real box.
using MessageBoxHook =
    std::function<int(const std::string& text, unsigned type, const std::string& detail)>;
void SetMessageBoxHook(MessageBoxHook hook);

// The icon a box of this type shows (MB_ICONSTOP, MB_ICONEXCLAMATION, ... or 0 for none).
unsigned EffectiveMessageBoxIcon(unsigned type);

inline constexpr char kApplicationName[] = "Tessora";
