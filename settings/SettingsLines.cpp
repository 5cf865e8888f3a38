#include "SettingsLines.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The reader takes a backslash at the end of a line as an escaped line end, and an odd
// number of them leaves one unpaired.
bool EndsInBackslash(std::string_view line) {
    std::size_t count = 0;
    while (count < line.size() && line[line.size() - 1 - count] == '\\') ++count;
    return count % 2 == 1;
}

// How the reader takes a value: a backslash escapes what follows, and outside quotes a ";"
// begins a comment that ends the value.
struct Value {
    bool quoteLeftOpen = false;
    bool comment = false;
};

Value ReadValue(std::string_view value) {
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == '"') {
            quoted = !quoted;
        } else if (value[i] == ';' && !quoted) {
            return {false, true};
        }
    }
    return {quoted, false};
}

std::vector<std::string_view> Lines(std::string_view file) {
    std::vector<std::string_view> lines;
    while (!file.empty()) {
        const auto end = file.find('\n');
        std::string_view line = file.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        file.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

SettingsLines ReadSettingsLines(std::string_view file) {
    SettingsLines result;
    const auto misread = [&](std::size_t index, std::string why) {
        if (!result.misread) result.misread = {static_cast<int>(index + 1), std::move(why)};
    };
    const std::vector<std::string_view> lines = Lines(file);
    std::string_view group = "General";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = Trimmed(lines[i]);
        if (text.empty()) continue;
        if (text.front() == ';') continue;
        if (EndsInBackslash(lines[i]) && i + 1 < lines.size()) {
            misread(i,
                    "it ends in a backslash, which joins line " + std::to_string(i + 2) + " to it");
            continue;
        }
        if (text.front() == '[') {
            const auto close = text.find(']');
            if (close == std::string_view::npos)
                misread(i, "a group name with no closing \"]\"");
            else
                group = text.substr(1, close - 1);
            continue;
        }
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            misread(i, "it has no \"=\", so it is no setting");
            continue;
        }
        const std::string_view name = Trimmed(text.substr(0, equals));
        const Value value = ReadValue(text.substr(equals + 1));
        if (name.empty()) {
            misread(i, "a setting with no name");
        } else if (value.quoteLeftOpen) {
            misread(i, "a quote is left open, which takes the lines after it into its value");
        }
    }
    return result;
}

std::string WithSetting(std::string_view file, std::string_view group, std::string_view name,
                        std::string_view value) {
    const std::string line = std::string(name) + "=" + std::string(value);
    std::string_view current = "General";
    // Where the setting's line is (without its line end), and where the group's last line ends.
    std::optional<std::pair<std::size_t, std::size_t>> found;
    std::optional<std::size_t> groupEnd;
    for (std::size_t at = 0; at < file.size();) {
        std::size_t end = std::min(file.find('\n', at), file.size());
        const std::size_t next = std::min(end + 1, file.size());
        if (end > at && file[end - 1] == '\r') --end;
        const std::string_view text = Trimmed(file.substr(at, end - at));
        if (!text.empty() && text.front() == '[') {
            current = text.substr(1, text.find(']') - 1);
            if (current == group) groupEnd = next;
        } else if (!text.empty() && text.front() != ';' && current == group) {
            groupEnd = next;
            const auto equals = text.find('=');
            if (equals != std::string_view::npos && Trimmed(text.substr(0, equals)) == name)
                found = {at, end};
        }
        at = next;
    }
    std::string out(file);
    if (found) return out.replace(found->first, found->second - found->first, line);
    if (groupEnd) {
        const bool lineEnded = *groupEnd > 0 && file[*groupEnd - 1] == '\n';
        return out.insert(*groupEnd, (lineEnded ? "" : "\n") + line + "\n");
    }
    if (!out.empty()) out += out.back() == '\n' ? "\n" : "\n\n";
    return out + "[" + std::string(group) + "]\n" + line + "\n";
}
