#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Utf8.h"

// A show's captions in order, as read from a spreadsheet's CSV: a header row naming the
// columns Text (required), Date, Time, Note, Hold and At in any order and case; other columns
// are left alone. Plain C++.

struct Cue {
    // 1 for the first row under the header.
    int number = 0;
    // Windows-1252, lines ending at LF as the text box holds them.
    std::string text;
    int dateCorner = 0;
    int timeCorner = 0;
    // UTF-8, shown only in the list.
    std::string note;
    // Windows-1252 could not hold every character: those became "?".
    bool lossy = false;
    // The unit would not show all of the text.
    bool cut = false;
    // The text holds the unit's own commands (a clear, a position), sent as they stand.
    bool commands = false;
    // How long the cue stays on air once the line has taken it; zero: until something else.
    std::chrono::milliseconds hold{0};
    // The local time of day it is taken at, in seconds from midnight; none by hand only.
    std::optional<int> at;
    // For a template to fill from: the row had a Text, a Date or a Time of its own, and
    // its other columns' cells (UTF-8) under their names as a template's fields match them.
    bool ownText = false;
    bool ownCorners = false;
    std::shared_ptr<const std::vector<std::string>> fieldNames;
    std::vector<std::string> fields;
};

// The longest hold: a day.
inline constexpr std::chrono::milliseconds kLongestHold = std::chrono::hours(24);

// A Hold cell: seconds, decimals allowed, up to a day; empty is 0. None when it does not read.
std::optional<std::chrono::milliseconds> HoldOf(std::string_view cell);
// An At cell: HH:MM or HH:MM:SS, 00:00 to 23:59:59, as seconds from midnight; empty is -1.
// None when it does not read.
std::optional<int> TimeOfDayOf(std::string_view cell);

// The most a list may hold: cues, fields in a row, and bytes in a cue's text or note (as
// in a screen's text), so that any list accepted stays small in memory and quick to show.
inline constexpr std::size_t kMostCues = 100000;
inline constexpr std::size_t kMostFields = 1000;

struct CueListRead {
    std::vector<Cue> cues;
    // Empty when the whole file was taken; else why not, naming the line.
    std::string error;
    // Control characters dropped from the cells (all but TAB, CR and LF).
    std::size_t controlsDropped = 0;
};

// UTF-8 to Windows-1252, a character it cannot hold becoming "?". By default each byte of a
// malformed sequence is one "?" too (an overlong form included).
using Cp1252Converter = std::function<std::string(std::string_view utf8)>;

// A corner as the page's lists name it ("None", "Top Left"...; case and spaces do not matter)
// or as its number 0 to 4; empty is None. -1 for anything else.
int CornerOf(std::string_view name);

// The first line of a text, for a list or a button.
std::string_view FirstLine(std::string_view text);

// A value as a message quotes it: at most `characters` UTF-8 characters, then "…" when
// there was more.
std::string Excerpt(std::string_view utf8, std::size_t characters = 40);

// A column's name as fields and headers are matched: lower case, without spaces, hyphens
// or underscores.
std::string FoldedColumnName(std::string_view name);

// Reads a whole file's text. Any error refuses the whole list: no Text column, a broken
// quote, a row with more fields than the header names, a corner that is none, more than
// kMostCues cues or kMostFields fields in a row, a text or note over a screen's most.
// A list only filled into a template needs no Text column (needText false).
CueListRead ReadCueList(std::string_view csv, const Cp1252Converter& convert = Cp1252FromUtf8,
                        bool needText = true);
