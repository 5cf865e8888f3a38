#include <gtest/gtest.h>

#include <optional>
#include <string>
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

// A held write is told only once the line has let go of its bytes, in the order written:
// taken when every byte left, cut short with the count otherwise, and a refused write
// waits behind the one held before it.
TEST(OnAirRecord, TellsAHeldWriteOnceItsBytesHaveSettled) {
    OnAirRecord record;
    std::vector<std::string> told;
    record.Listen([&](const UnitWrite& write, const OnAir& now) {
        told.push_back(write.text + (write.taken ? " taken " : " cut ") +
                       std::to_string(write.sent) + " -> " + (now.cleared ? "cleared" : now.text));
    });
    std::optional<std::size_t> firstOut, secondOut;
    UnitWrite first = Write(WriteKind::Send, WriteOrigin::Key, 1, "First");
    first.bytes = std::string(1030, 'f');
    record.Hold(first, [&] { return firstOut; });
    UnitWrite second = Write(WriteKind::Send, WriteOrigin::Key, 2, "Second");
    second.bytes = "ss";
    record.Hold(second, [&] { return secondOut; });
    UnitWrite refused = Write(WriteKind::Send, WriteOrigin::Remote, 3, "Refused");
    refused.bytes = "rr";
    record.Hold(refused, [] { return std::optional<std::size_t>(0); });
    secondOut = 2;
    EXPECT_FALSE(record.Settle());  // the first still holds the line
    EXPECT_TRUE(record.Now().cleared);
    firstOut = 399;
    EXPECT_TRUE(record.Settle());
    EXPECT_FALSE(record.Settle());
    EXPECT_EQ(told,
              (std::vector<std::string>{"First cut 399 -> cleared", "Second taken 2 -> Second",
                                        "Refused cut 0 -> Second"}));
}

}  // namespace
