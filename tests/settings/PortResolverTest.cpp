#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "PortResolver.h"

namespace {

#ifdef _WIN32
const std::string kCom2Default = "\\\\.\\COM2";
#else
const std::string kCom2Default = "/dev/ttyS1";
#endif

TEST(PortResolver, MapsANameAsTheSettingsSay) {
    const PortSetup mapped{
        std::nullopt,
        {{u"COM1", "/dev/ttyUSB0"}, {u"COM3", ""}, {u"Studio", "rfc2217://unit.local:4001"}},
        false};
    PortSetup misread = mapped;
    misread.misread = true;
    struct Row {
        const PortSetup& setup;
        std::u16string name;
        std::string device;
    };
    const Row rows[] = {
        {mapped, u"COM1", "/dev/ttyUSB0"},
        {mapped, u"Studio", "rfc2217://unit.local:4001"},
        {mapped, u"COM2", kCom2Default},                // unmapped: its default device
        {mapped, u"COM3", DefaultPortDevice(u"COM3")},  // mapped to nothing: as unmapped
        {mapped, u"com1", DefaultPortDevice(u"com1")},  // the mapping matches names exactly
        {misread, u"COM1", "/dev/ttyUSB0"},             // a mapping read is kept
        {misread, u"COM2", ""},                         // but nothing is guessed from a name
        {misread, u"COM3", ""},
    };
    for (const Row& row : rows) {
        const PortResolver resolver(row.setup);
        EXPECT_EQ(resolver.Device(row.name), row.device)
            << std::string(row.name.begin(), row.name.end())
            << (row.setup.misread ? " misread" : "");
        EXPECT_EQ(resolver.Resolver()(row.name), row.device);
    }
}

TEST(PortResolver, AStandInForTheUnmappedDeviceIsAskedOnlyWhileTheFileIsReadAsWritten) {
    const auto standIn = [](const std::u16string&) { return std::string("/dev/pts/9"); };
    PortSetup setup{std::nullopt, {{u"COM1", "/dev/ttyUSB0"}}, false};
    EXPECT_EQ(PortResolver(setup, standIn).Device(u"COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(PortResolver(setup, standIn).Device(u"COM7"), "/dev/pts/9");
    EXPECT_EQ(PortResolver(setup, nullptr).Device(u"COM7"), "");
    setup.misread = true;
    EXPECT_EQ(PortResolver(setup, standIn).Device(u"COM7"), "");
}

TEST(PortResolver, TakesAStoredNameOnlyWhenItStartsWithCom) {
    const std::optional<std::string> none;
    const struct {
        std::optional<std::string> stored;
        std::optional<std::string> taken;
    } rows[] = {
        {"COM1", "COM1"}, {"COM12", "COM12"}, {"COMx", "COMx"}, {"com2", none},
        {"XCOM1", none},  {"", none},         {none, none},
    };
    for (const auto& row : rows) {
        // A misread file still gives the name it read.
        for (const bool misread : {false, true}) {
            EXPECT_EQ(PortResolver(PortSetup{row.stored, {}, misread}).StoredName(), row.taken)
                << row.stored.value_or("(none)");
        }
    }
}

}  // namespace
