#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "AsRunReport.h"

namespace {

// A day as the log writes it, ending in a line torn by a power cut.
constexpr char kDay[] =
    R"({"utc":"2026-12-09T14:02:03.250Z","local":"2026-12-09T15:02:03.250+01:00","kind":"send","origin":"key","screen":2,"text":"Evening \"news\", \u20ac 5\r\nSecond line","date":1,"time":3,"port":"COM1","device":"/dev/ttyUSB0","taken":true})"
    "\n"
    R"({"utc":"2026-12-09T14:02:04.000Z","local":"2026-12-09T15:02:04.000+01:00","kind":"send","origin":"cue","cue":7,"screen":3,"text":"Late","date":0,"time":0,"port":"COM1","device":"/dev/ttyUSB0","taken":false})"
    "\n"
    R"({"utc":"2026-12-09T14:30:00.000Z","local":"2026-12-09T15:30:00.000+01:00","kind":"clock","before":"2026-12-09T16:29:59.000+01:00","after":"2026-12-09T15:30:00.000+01:00"})"
    "\n"
    R"({"utc":"2026-12-09T14:31:00.000Z","local":"2026-12-09T15:31:00.000+01:00","kind":"cle)";

struct DayFile {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("asrun-report-" + std::to_string(::getpid()) + ".jsonl");
    explicit DayFile(const std::string& text = kDay) {
        std::ofstream(path, std::ios::binary) << text;
    }
    ~DayFile() { std::filesystem::remove_all(path); }
};

std::string Line(const std::string& origin, const std::string& text, const std::string& port) {
    return R"({"utc":"2026-12-09T14:02:03.250Z","local":"2026-12-09T15:02:03.250+01:00",)"
           R"("kind":"send","origin":")" +
           origin + R"(","screen":2,"text":")" + text + R"(","port":")" + port +
           R"(","taken":true})"
           "\n";
}

TEST(AsRunReport, TableAndCsvOfADaySkippingATornLine) {
    DayFile day;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(PrintAsRun(day.path, false, out, err), 0);
    EXPECT_EQ(out.str(),
              "time          origin   kind             screen  text\n"
              "15:02:03.250  key      send             2       Evening \"news\", \u20ac 5\n"
              "15:02:04.000  cue      send (refused)   3       Late\n"
              "15:30:00.000           clock                    "
              "2026-12-09T16:29:59.000+01:00 -> 2026-12-09T15:30:00.000+01:00\n");
    EXPECT_EQ(err.str(), "tessora: " + day.path.string() + ": line 4 is no entry, skipped\n");

    std::ostringstream csv;
    EXPECT_EQ(PrintAsRun(day.path, true, csv, err), 0);
    EXPECT_EQ(csv.str(),
              "utc,local,kind,origin,cue,screen,text,date,time,port,device,taken,before,after\r\n"
              "2026-12-09T14:02:03.250Z,2026-12-09T15:02:03.250+01:00,send,key,,2,"
              "\"Evening \"\"news\"\", \u20ac 5\r\nSecond line\",1,3,COM1,/dev/ttyUSB0,true,,\r\n"
              "2026-12-09T14:02:04.000Z,2026-12-09T15:02:04.000+01:00,send,cue,7,3,Late,0,0,"
              "COM1,/dev/ttyUSB0,false,,\r\n"
              "2026-12-09T14:30:00.000Z,2026-12-09T15:30:00.000+01:00,clock,,,,,,,,,,"
              "2026-12-09T16:29:59.000+01:00,2026-12-09T15:30:00.000+01:00\r\n");

    std::ostringstream none;
    EXPECT_EQ(PrintAsRun(day.path.string() + ".gone", false, none, err), 1);
    EXPECT_EQ(none.str(), "");
}

// What a log holds reaches the terminal as text: an escape sequence that would retitle the
// window, erase the screen or move the cursor up is shown escaped, C1 controls too.
TEST(AsRunReport, TheTableShowsControlCharactersEscaped) {
    DayFile day(Line(R"(\u001b[2K)", R"(\u001b]0;owned\u0007Hi\u009b2J\u007f)", "COM1"));
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(PrintAsRun(day.path, false, out, err), 0);
    EXPECT_EQ(out.str().substr(out.str().find('\n') + 1),
              "15:02:03.250  \\x1b[2K  send             2       "
              "\\x1b]0;owned\\x07Hi\\u009b2J\\x7f\n");
    EXPECT_EQ(err.str(), "");
}

// A cell a spreadsheet would run as a formula is given a leading quote, and quoted; the
// rest stay as they were.
TEST(AsRunReport, CsvCellsThatWouldBeFormulasAreNeutralised) {
    DayFile day(Line("+cmd", R"(=HYPERLINK(\"http://x\",\"y\"))", "-2+3") +
                Line("@SUM(A1)", R"(\tTAB)", "\\rCR") + Line("key", "a-b = c", "COM1"));
    std::ostringstream csv;
    std::ostringstream err;
    EXPECT_EQ(PrintAsRun(day.path, true, csv, err), 0);
    const std::string rows = csv.str().substr(csv.str().find("\r\n") + 2);
    EXPECT_EQ(rows,
              "2026-12-09T14:02:03.250Z,2026-12-09T15:02:03.250+01:00,send,\"'+cmd\",,2,"
              "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",,,\"'-2+3\",,true,,\r\n"
              "2026-12-09T14:02:03.250Z,2026-12-09T15:02:03.250+01:00,send,\"'@SUM(A1)\",,2,"
              "\"'\tTAB\",,,\"'\rCR\",,true,,\r\n"
              "2026-12-09T14:02:03.250Z,2026-12-09T15:02:03.250+01:00,send,key,,2,a-b = c,,,"
              "COM1,,true,,\r\n");
}

// A day file that is no regular file is refused with the reason, at once: a folder, a FIFO
// (which would wait for a writer forever), a link (here to an endless device).
TEST(AsRunReport, ADayFileThatIsNoRegularFileIsRefused) {
    namespace fs = std::filesystem;
    const fs::path path =
        fs::temp_directory_path() / ("asrun-special-" + std::to_string(::getpid()) + ".jsonl");
    const auto folder = [&] { fs::create_directory(path); };
    const auto fifo = [&] { ::mkfifo(path.c_str(), 0600); };
    const auto zero = [&] { fs::create_symlink("/dev/zero", path); };
    // /dev/zero's own numbers: refused unopened, as opening a device may act on it.
    const auto device = [&] { ::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 5)); };
    const struct {
        std::function<void()> make;
        const char* why;
    } cases[] = {{folder, "it is a folder"},
                 {fifo, "it is a FIFO"},
                 {zero, "it is a link"},
                 {device, "it is a device"}};
    for (const auto& c : cases) {
        fs::remove_all(path);
        c.make();
        if (!fs::exists(fs::symlink_status(path))) continue;  // a device needs root to make
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(PrintAsRun(path, false, out, err), 1) << c.why;
        EXPECT_EQ(out.str(), "") << c.why;
        EXPECT_EQ(err.str(), "tessora: no as-run log to show: " + path.string() + ": " + c.why +
                                 ", not a day file\n");
    }
    fs::remove_all(path);
}

// A line past 4 MiB is no line the log wrote: it is skipped with a note, and the lines after
// it are read as ever.
TEST(AsRunReport, ALineLongerThanTheLimitIsSkipped) {
    DayFile day(Line("key", std::string(4 * 1024 * 1024, 'x'), "COM1") +
                Line("key", "Next", "COM1"));
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(PrintAsRun(day.path, false, out, err), 0);
    EXPECT_EQ(out.str().substr(out.str().find('\n') + 1),
              "15:02:03.250  key      send             2       Next\n");
    EXPECT_EQ(err.str(),
              "tessora: " + day.path.string() + ": line 1 is longer than 4 MiB, skipped\n");
}

}  // namespace
