// The settings file as the window writes it: who may read it (it holds the remote token).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"
#include "SettingsStore.h"

namespace {

namespace fs = std::filesystem;

// The store finds its folder once a process, so every test shares one settings home, emptied
// before each.
const fs::path& Home() {
    static const fs::path home = [] {
        const fs::path path =
            fs::temp_directory_path() / ("tessora-settings-" + std::to_string(::getpid()));
        ::setenv("XDG_CONFIG_HOME", (path / "config").c_str(), 1);
        return path;
    }();
    return home;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(Home());
        fs::create_directories(Home());
        file = SettingsStore::FileName();
        ASSERT_EQ(file, (Home() / "config/Halvercrest/Tessora.conf").string());
    }
    void TearDown() override { fs::remove_all(Home()); }

    fs::path file;
};

mode_t Mode(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Made by the program: the file, and each folder it had to make, its owner's alone. A file
// that was there readable by all is taken back, and so is the copy kept of it.
TEST_F(SettingsFile, TheFileItsCopyAndTheFoldersMadeAreTheOwnersAlone) {
    const mode_t mask = ::umask(022);
    SettingsStore().WriteText("Remote/Token", "secret");
    EXPECT_EQ(Mode(file), 0600u);
    EXPECT_EQ(Mode(file.parent_path()), 0700u);
    EXPECT_EQ(Mode(Home() / "config"), 0700u);
    EXPECT_EQ(SettingsStore().ReadText("Remote/Token", 100), "secret");

    // A file that was there, readable by all, is taken back; a copy kept is the owner's too.
    WriteAll(file, "[Remote]\nToken=secret\n");
    ::chmod(file.c_str(), 0644);
    SettingsStore().WriteInt32("MinPosX", 3);
    EXPECT_EQ(Mode(file), 0600u);
    WriteAll(file, "Note=C:\\\n[Remote]\nToken=secret\n");
    EXPECT_TRUE(SettingsStore::CheckFile());
    EXPECT_EQ(Mode(fs::path(file.string() + ".bak")), 0600u);
    ::umask(mask);
}

// What the window writes at close.
void Close() {
    SettingsStore store;
    store.WriteText("CommPort", "COM1");
    for (const char* name : {"MinPosX", "MinPosY", "MinSizeWidth", "MinSizeHeight"})
        store.WriteInt32(name, 7);
    store.WriteInt32("Monitor/Open", 1);
    store.WriteText("Cues/File", "C:\\Shows\\Evening.txt");
}

// A file misread (a backslash joins [Ports] to the value above) is not "mended" at close
// into one that reads cleanly without [Ports]: the next start finds it as the first did,
// says so again, and maps the same ports (none, so nothing opens on a guess).
TEST_F(SettingsFile, AMisreadFileIsLeftAsItIsAndTheNextStartIsAsTheFirst) {
    const std::string misread = "[General]\nNote=C:\\\n[Ports]\nCOM1=/dev/ttyUSB0\n";
    fs::create_directories(file.parent_path());
    WriteAll(file, misread);
    const std::optional<std::string> first = SettingsStore::CheckFile();
    ASSERT_TRUE(first);
    const auto ports = SettingsStore().ReadPaths("Ports");
    Close();
    EXPECT_EQ(ReadAll(file), misread);
    EXPECT_EQ(SettingsStore::CheckFile(), first);
    EXPECT_EQ(SettingsStore().ReadPaths("Ports"), ports);
}

// What the operator wrote survives a close as written: a value the reader takes otherwise
// (C:\Shows reads as C:hows), comments, names given twice, settings the program does not
// know. Nothing else reads otherwise, so no copy is kept.
TEST_F(SettingsFile, EveryLineTheOperatorWroteSurvivesAClose) {
    const std::string written =
        "; the studio's\n[General]\nLastFolder=C:\\Shows\nCommPort=COM3 ; was COM2\n"
        "[Ports]\nCOM1=/dev/ttyUSB0\nCOM1=/dev/ttyUSB1\n";
    fs::create_directories(file.parent_path());
    WriteAll(file, written);
    const std::optional<std::string> folder = SettingsStore().ReadText("LastFolder", 100);
    Close();
    EXPECT_EQ(
        ReadAll(file),
        "; the studio's\n[General]\nLastFolder=C:\\Shows\nCommPort=COM1\nMinPosX=7\n"
        "MinPosY=7\nMinSizeWidth=7\nMinSizeHeight=7\n[Ports]\nCOM1=/dev/ttyUSB0\n"
        "COM1=/dev/ttyUSB1\n\n[Monitor]\nOpen=1\n\n[Cues]\nFile=C:\\\\Shows\\\\Evening.txt\n");
    EXPECT_FALSE(fs::exists(file.string() + ".bak"));
    const SettingsStore store;
    EXPECT_EQ(store.ReadText("LastFolder", 100), folder);
    EXPECT_EQ(store.ReadText("Cues/File", 100), "C:\\Shows\\Evening.txt");
    EXPECT_EQ(store.ReadPaths("Ports"),
              (std::vector<std::pair<std::u16string, std::string>>{{u"COM1", "/dev/ttyUSB1"}}));
    EXPECT_FALSE(SettingsStore::CheckFile());
}

// Any text the program writes reads back as it was, however the reader would take it raw.
TEST_F(SettingsFile, TextsReadBackAsWritten) {
    const std::string texts[] = {"C:\\Shows\\",
                                 "a;b",
                                 "a,b",
                                 "x=y",
                                 " edge ",
                                 "@Variant(1)",
                                 "\"q",
                                 "tab\tnew\nline\x01"
                                 "1f",
                                 "\x80 \xE9\xFF",
                                 "",
                                 "[Ports]"};
    for (const std::string& text : texts) {
        SettingsStore().WriteText("Cues/File", text);
        EXPECT_EQ(SettingsStore().ReadText("Cues/File", 100), text) << ReadAll(file);
    }
    EXPECT_FALSE(SettingsStore::CheckFile());
}

}  // namespace
