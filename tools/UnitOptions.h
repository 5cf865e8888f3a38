#pragma once

#include <optional>
#include <span>
#include <string>

// What the command line of tessora-unit asks for.
struct CUnitOptions {
    std::string m_strDevice;  // empty: open a pseudo-terminal
    bool m_bQuiet = false;
    std::string m_strDump;  // empty: no dump file
    std::string m_strLog;   // empty: no byte log
    bool m_bHelp = false;
};

// Parses the arguments after the program name. Options may come in any order;
// a repeated option takes its last value. On a bad command line returns
// nothing and says why in strError.
std::optional<CUnitOptions> ParseUnitOptions(std::span<const char* const> args,
                                             std::string& strError);

// The usage text, ending in "\n".
std::string UnitUsage();
