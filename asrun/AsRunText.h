#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The pieces of an as-run line: JSON strings and the times of a write.

// Appends text as a JSON string, quotes included. Quotes, backslashes and control characters
// are escaped; a byte that is no part of valid UTF-8 becomes U+FFFD, so the line is always
// valid UTF-8 whatever a device path holds.
void AppendJsonString(std::string& out, std::string_view text);

// One moment as the log writes it.
struct AsRunTime {
    // ISO 8601 to the millisecond: "2026-12-09T15:03:26.123Z".
    std::string utc;
    // Local, with its offset: "2026-12-09T16:03:26.123+01:00".
    std::string local;
    // The local date, YYYY-MM-DD: the day file the moment goes into.
    std::string day;
    // Seconds east of UTC.
    long offset = 0;
};

AsRunTime AsRunTimeOf(std::chrono::system_clock::time_point time);

// The date of a YYYY-MM-DD text, nothing when it is no real date written so.
std::optional<std::chrono::sys_days> ParseDay(std::string_view text);
