#pragma once

#include <optional>
#include <span>
#include <string>

// What tessora-send's command line asks for.
struct SendOptions {
    // The port as given: a [Ports] name such as COM1, or a device path. None: the settings'.
    std::optional<std::string> port;
    // A backup unit's port, named as the port is: given the same bytes on a line of its own.
    std::optional<std::string> backup;
    // Clear instead of Send: with a screen, its stamps come back as Clear brings them.
    bool clear = false;
    // The screen set and the screen in it, 1 to 4; both empty for --clear alone.
    std::string file;
    int screen = 0;
    // Answers that send nothing: print and leave.
    bool help = false;
    bool version = false;
};

// Screens are numbered as their tabs are.
inline constexpr int kFirstScreen = 1;
inline constexpr int kLastScreen = 4;

// Parses the arguments after the program name: [--port NAME] [--backup NAME] FILE SCREEN, or
// --clear with the same options [FILE SCREEN], or --help (-h) or --version alone.
// --port=NAME and --backup=NAME work too, and
// "--" ends the options. On a bad command line (a screen outside 1 to 4 included) returns
// nothing and says why in error.
std::optional<SendOptions> ParseSendOptions(std::span<const char* const> args, std::string& error);

// The usage, one line without its line break.
std::string SendUsage();

// What --help prints, with a closing line break.
std::string SendHelp();
