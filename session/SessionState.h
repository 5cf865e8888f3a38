#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The caption session's state as every client reads it. Texts are Windows-1252 unless said
// otherwise.

struct ScreenContent {
    std::string text;
    std::int32_t dateCorner = 0;
    std::int32_t timeCorner = 0;
};

// What a command may change of a screen; the text as typed into the text box.
struct ScreenChange {
    std::optional<std::string> text;
    std::optional<std::int32_t> dateCorner;
    std::optional<std::int32_t> timeCorner;
};

// A backup unit's line, beside the main one. Texts in UTF-8.
struct BackupLineState {
    // The port (COM2...; "" for none) and its device, whether the line is live, and why it is
    // down ("" when live or no reason is known).
    std::string port;
    std::string device;
    bool live = false;
    std::string reason;
    // Why the backup named in the settings is not used ("" when it is, or none is named).
    std::string refusal;
};

struct SessionState {
    std::array<ScreenContent, 4> screens;
    // 1 to 4.
    int screen = 1;
    bool modified = false;
    // UTF-8, as the title bar shows it.
    std::string title;
    std::string message;
    // The port chosen (COM1...), its device, and whether the line is live.
    std::string port;
    std::string device;
    bool live = false;
    // The line went down and is tried again; what the monitor says of the line ("" while
    // live); why it is down, in UTF-8 ("" when no reason is known).
    bool lost = false;
    std::string lineText;
    std::string lineReason;
    // Whether the machine's clock, and so every stamp, can be trusted; a clock whose state
    // cannot be read counts as synchronised and is not known.
    bool clockSynchronised = true;
    bool clockKnown = true;
    BackupLineState backup;
};
