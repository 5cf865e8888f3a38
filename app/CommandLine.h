#pragma once

#include <optional>
#include <span>
#include <string>

// What the program's command line asks for. An option adds a field here and a case in
// ParseCommandLine; none of this needs a display.
struct CCommandLine {
    // A screen set to open once the main window is up, as the 8-bit local path given.
    std::optional<std::string> m_strFile;
    // Open the unit monitor with the main window.
    bool m_bMonitor = false;
    // --cues FILE: a cue list to open and show once the main window is up.
    std::optional<std::string> m_strCuesFile;
    // Answers that need no window: print and leave.
    bool m_bListPorts = false;
    bool m_bHelp = false;
    bool m_bVersion = false;
    bool m_bRemoteToken = false;
    // Print a day of the as-run log (YYYY-MM-DD; today when none), as CSV if m_bCsv.
    bool m_bAsRun = false;
    std::optional<std::string> m_strAsRunDate;
    bool m_bCsv = false;
};

// Parses the arguments after the program name: --monitor, --cues FILE and at most one file,
// or --list-ports, --remote-token, --as-run [DATE] [--csv], --help (-h) or --version, each
// alone. "--" ends
// the options, so a file whose name begins with "-" can follow it. On a bad command line
// returns nothing and says why in strError.
std::optional<CCommandLine> ParseCommandLine(std::span<const char* const> args,
                                             std::string& strError);

// The usage, one line without its line break.
std::string CommandLineUsage();

// What --help prints: the usage and a line for each option, with a closing line break.
std::string CommandLineHelp();
