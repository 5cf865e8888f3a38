// The settings file as the window writes it: who may read it (it holds the remote token).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

    // A comment a rewrite would lose: the file is kept first.
    WriteAll(file, "; mine\n[Remote]\nToken=secret\n");
    ::chmod(file.c_str(), 0644);
    SettingsStore().WriteInt32("MinPosX", 3);
    EXPECT_EQ(Mode(file), 0600u);
    EXPECT_EQ(Mode(fs::path(file.string() + ".bak")), 0600u);
    EXPECT_EQ(ReadAll(file.string() + ".bak"), "; mine\n[Remote]\nToken=secret\n");
    ::umask(mask);
}

}  // namespace
