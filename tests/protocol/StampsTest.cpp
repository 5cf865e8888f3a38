#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "ScreenWrites.h"
#include "Stamps.h"

namespace {

#ifdef _WIN32
// The Windows C runtime's names for the same two calls.
std::time_t timegm(std::tm* t) {
    return _mkgmtime(t);
}
int setenv(const char* name, const char* value, int) {
    return _putenv_s(name, value);
}
#endif

std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return timegm(&t);
}

const std::time_t kTick = UtcTime(2026, 12, 8, 14, 5, 9);

void UseTimeZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
}

struct StampCase {
    const char* name;
    int dateCorner, timeCorner;
    const char *date, *time;
};
void PrintTo(const StampCase& c, std::ostream* os) {
    *os << c.name;
}

class StampCornersTest : public testing::TestWithParam<StampCase> {};

TEST_P(StampCornersTest, PlacesEachStampInItsCorner) {
    UseTimeZone("UTC");
    const StampCase& c = GetParam();
    const StampCommands stamps = ComposeStamps(c.dateCorner, c.timeCorner, kTick);
    EXPECT_EQ(stamps.date, c.date);
    EXPECT_EQ(stamps.time, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Pairings, StampCornersTest,
    testing::Values(StampCase{"BothNone", 0, 0, "", ""},
                    StampCase{"DateTopLeft", 1, 0, "{C000008/12/26", ""},
                    StampCase{"DateBottomRight", 4, 0, "{C441808/12/26", ""},
                    StampCase{"TimeTopRight", 0, 2, "", "{C440014:05:09"},
                    StampCase{"TimeBottomLeft", 0, 3, "", "{C001814:05:09"},
                    StampCase{"SharedTopLeft", 1, 1, "{C000008/12/26", "{C0800 14:05:09"},
                    StampCase{"SharedTopRight", 2, 2, "{C350008/12/26", "{C4300 14:05:09"},
                    StampCase{"SharedBottomLeft", 3, 3, "{C001808/12/26", "{C0818 14:05:09"},
                    StampCase{"SharedBottomRight", 4, 4, "{C351808/12/26", "{C4318 14:05:09"},
                    StampCase{"RightSide", 2, 4, "{C440008/12/26", "{C441814:05:09"},
                    StampCase{"LeftSide", 3, 1, "{C001808/12/26", "{C000014:05:09"},
                    StampCase{"TopRow", 1, 2, "{C000008/12/26", "{C440014:05:09"},
                    // Values the corner lists never offer are no corner at all.
                    StampCase{"DateAboveFour", 5, 2, "", "{C440014:05:09"},
                    StampCase{"TimeNegative", 2, -1, "{C440008/12/26", ""},
                    StampCase{"BothAboveFour", 5, 5, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadingCase {
    const char* name;
    const char* timeZone;
    std::time_t now;
    const char *date, *time;
};
void PrintTo(const ReadingCase& c, std::ostream* os) {
    *os << c.name;
}

class StampReadingTest : public testing::TestWithParam<ReadingCase> {};

TEST_P(StampReadingTest, DateAndTimeComeFromOneLocalReading) {
    const ReadingCase& c = GetParam();
    UseTimeZone(c.timeZone);
    const StampCommands stamps = ComposeStamps(1, 1, c.now);
    EXPECT_EQ(stamps.date, std::string("{C0000") + c.date);
    EXPECT_EQ(stamps.time, std::string("{C0800 ") + c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, StampReadingTest,
    testing::Values(
        ReadingCase{"BeforeMidnight", "UTC", UtcTime(2026, 12, 8, 23, 59, 59), "08/12/26",
                    "23:59:59"},
        ReadingCase{"Midnight", "UTC", UtcTime(2026, 12, 9, 0, 0, 0), "09/12/26", "00:00:00"},
        ReadingCase{"NewYear", "UTC", UtcTime(2027, 1, 1, 0, 0, 0), "01/01/27", "00:00:00"},
        // Local time, not UTC: the zone moves both stamps, across midnight included.
        ReadingCase{"West", "EST5", kTick, "08/12/26", "09:05:09"},
        ReadingCase{"EastPastMidnight", "EEE-10", kTick, "09/12/26", "00:05:09"},
        ReadingCase{"WestBeforeMidnight", "WWW15", kTick, "07/12/26", "23:05:09"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ComposeStamps, UnconvertibleClockKeepsThePositions) {
    UseTimeZone("UTC");
    for (const std::time_t absurd :
         {std::numeric_limits<std::time_t>::max(), std::numeric_limits<std::time_t>::min()}) {
        std::tm probe{};
        ASSERT_EQ(localtime_r(&absurd, &probe), nullptr);
        const StampCommands alone = ComposeStamps(2, 3, absurd);
        EXPECT_EQ(alone.date, "{C4400");
        EXPECT_EQ(alone.time, "{C0018");
        EXPECT_EQ(ComposeStamps(4, 4, absurd).time, "{C4318 ");
    }
}

// A screen's writes, as the port gets them.
std::vector<std::string> Written(const ScreenWrites& screen) {
    const std::vector<std::string_view> writes = screen.Writes();
    return {writes.begin(), writes.end()};
}

TEST(StampTicks, FallJustAfterTheSecondTurns) {
    using std::chrono::milliseconds;
    const std::chrono::system_clock::time_point second(std::chrono::seconds(1796738709));
    struct Case {
        int intoSecond;
        int wait;
    };
    for (const Case c :
         {Case{0, 20}, Case{19, 1}, Case{20, 1000}, Case{21, 999}, Case{500, 520}, Case{999, 21}}) {
        EXPECT_EQ(MsUntilNextStampTick(second + milliseconds(c.intoSecond)), c.wait)
            << c.intoSecond << " ms into the second";
        // Wherever a tick lands, the next one is in the next second, just after its turn.
        const int next = (c.intoSecond + c.wait) % 1000;
        EXPECT_EQ(next, kTickAfterSecondMs);
    }
}

TEST(ComposeStamps, SendWritesClearStampsThenTextAndClearLeavesTheText) {
    UseTimeZone("UTC");
    using Writes = std::vector<std::string>;
    EXPECT_EQ(Written(ComposeSend("Hello", 2, 2, kTick)),
              (Writes{"{A19", "{C350008/12/26", "{C4300 14:05:09", "{C0001Hello{C0002"}));
    EXPECT_EQ(Written(ComposeSend("Hello\nWorld", 1, 0, kTick)),
              (Writes{"{A19", "{C000008/12/26", "{C0001Hello{C0002World{C0003"}));
    EXPECT_EQ(Written(ComposeSend("", 0, 3, kTick)),
              (Writes{"{A19", "{C001814:05:09", "{C0000{C0001"}));
    EXPECT_EQ(Written(ComposeSend("", 0, 0, kTick)), (Writes{"{A19", "{C0000{C0001"}));
    EXPECT_EQ(Written(ComposeClear(4, 4, kTick)),
              (Writes{"{A19", "{C351808/12/26", "{C4318 14:05:09"}));
    EXPECT_EQ(Written(ComposeClear(0, 0, kTick)), (Writes{"{A19"}));
    // The warning travels with the layout it belongs to.
    EXPECT_TRUE(ComposeSend(std::string(17, '\n'), 0, 0, kTick).layout.tooLong);
}

}  // namespace
