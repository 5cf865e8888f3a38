#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SettingsLines.h"

// The port settings the window keeps, and whether it keeps the as-run log, read without Qt
// from the file it keeps them in: [General] CommPort, the [Ports] group and [AsRun] Enabled.
// The file is read as the window's settings store reads it (QSettings' INI form):
// "[General]" holds the top-level keys, a ";" at a line's start or outside quotes begins a
// comment, a quote may run across lines, a backslash escapes the next character, and an
// unquoted comma makes a list, which is no port setting.
struct PortSettings {
    std::optional<std::string> commPort;
    // (name, device) in the file's order, as the port's resolver takes them.
    std::vector<std::pair<std::u16string, std::string>> ports;
    // The first line not read as written. The window then opens no device for a port that
    // [Ports] does not map, as the line may have been its mapping.
    std::optional<SettingsLines::Misread> misread;
    // [AsRun] Enabled: the as-run log is kept unless it is 0.
    bool asRunEnabled = true;
};

PortSettings ParsePortSettings(std::string_view text);

// The file, or nothing read when it cannot be read.
PortSettings ReadPortSettings(const std::string& path);

// ${XDG_CONFIG_HOME:-$HOME/.config}/Halvercrest/Tessora.conf
std::string PortSettingsFile();

// A name as the resolver's key: each byte one UTF-16 unit, so names match byte for byte.
std::u16string PortKey(std::string_view name);
