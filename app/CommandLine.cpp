#include "CommandLine.h"

#include <string_view>

std::optional<CCommandLine> ParseCommandLine(std::span<const char* const> args,
                                             std::string& strError) {
    CCommandLine options;
    bool bOptionsEnded = false;
    for (const char* raw : args) {
        const std::string_view arg = raw;
        if (!bOptionsEnded && arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        // A lone "-" is a file name like any other: the program reads no standard input.
        if (!bOptionsEnded && arg.size() > 1 && arg.front() == '-') {
            strError = "unknown option '" + std::string(arg) + "'";
            return std::nullopt;
        }
        if (options.m_strFile) {
            strError = "one file at a time";
            return std::nullopt;
        }
        options.m_strFile = std::string(arg);
    }
    return options;
}

std::string CommandLineUsage() {
    return "usage: tessora [FILE]";
}
