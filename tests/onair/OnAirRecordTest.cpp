#include <gtest/gtest.h>

#include <vector>

#include "OnAirRecord.h"

namespace {

UnitWrite Write(WriteKind kind, WriteOrigin origin, int screen = 0, std::string text = "",
                bool taken = true) {
    UnitWrite write;
    write.kind = kind;
    write.origin = origin;
    write.screen = screen;
    write.text = std::move(text);
    write.taken = taken;
    return write;
}

// What is on air follows the writes the port took: a Send puts its screen there, ticks and
// refused writes leave it, a Clear or the greeting empties it; every write is told, each
// with its kind and origin, whatever it did to what is on air.
TEST(OnAirRecord, FollowsWhatThePortTook) {
    OnAirRecord record;
    std::vector<std::string> told;
    const int key = record.Listen([&](const UnitWrite& write, const OnAir& now) {
        told.push_back(std::string(WriteKindName(write.kind)) + "/" +
                       WriteOriginName(write.origin) + (write.taken ? "" : "/refused") + " -> " +
                       (now.cleared ? "cleared" : now.text));
    });
    EXPECT_TRUE(record.Now().cleared);
    record.Record(Write(WriteKind::Greeting, WriteOrigin::Program));
    record.Record(Write(WriteKind::Send, WriteOrigin::Key, 2, "Evening news"));
    record.Record(Write(WriteKind::Tick, WriteOrigin::Program, 2));
    record.Record(Write(WriteKind::Send, WriteOrigin::Remote, 3, "Refused", false));
    EXPECT_EQ(record.Now().screen, 2);
    EXPECT_EQ(record.Now().origin, WriteOrigin::Key);
    UnitWrite corner = Write(WriteKind::CornerResend, WriteOrigin::Strip, 2, "Evening news");
    corner.timeCorner = 4;
    record.Record(corner);
    EXPECT_EQ(record.Now().timeCorner, 4);
    record.Record(Write(WriteKind::Clear, WriteOrigin::Page, 2));
    record.Unlisten(key);
    record.Record(Write(WriteKind::Send, WriteOrigin::Cue, 4, "Unheard"));
    EXPECT_EQ(told, (std::vector<std::string>{
                        "greeting/program -> cleared",
                        "send/key -> Evening news",
                        "tick/program -> Evening news",
                        "send/remote/refused -> Evening news",
                        "corner/strip -> Evening news",
                        "clear/page -> cleared",
                    }));
    EXPECT_EQ(record.Now().text, "Unheard");
}

}  // namespace
