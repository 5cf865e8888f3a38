#pragma once

#include <string>
#include <string_view>

#include "CueList.h"
#include "SessionState.h"

// A template screen filled from a cue list's row: "{Column}" takes that column's cell,
// matched as headers are; "{{" and "}}" are braces as they stand. Plain C++.

struct TemplateFill {
    // What goes to air (Windows-1252, lines ending at LF), empty when refused.
    ScreenContent content;
    // Empty when filled; else why not, naming the field.
    std::string refusal;
    // The cue list's marks, for the text as filled.
    bool lossy = false;
    bool cut = false;
    bool commands = false;
};

// The row as it goes to air with the template: its own Text when it has one, as today,
// else the template's text filled from its cells; the template's corners unless the row
// has a Date or a Time. A line break in a cell starts a new line.
TemplateFill FillTemplate(const ScreenContent& templ, const Cue& row,
                          const Cp1252Converter& convert = Cp1252FromUtf8);
