#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
    DayFile() { std::ofstream(path, std::ios::binary) << kDay; }
    ~DayFile() { std::filesystem::remove(path); }
};

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

}  // namespace
