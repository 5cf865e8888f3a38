#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <vector>

#include "AsRunFile.h"
#include "AsRunText.h"
#include "RunUnprivileged.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

// Only files named for a real day more than KeepDays days back go; the day exactly KeepDays
// back, other names, and a folder or a link of a day's name stay. Below 1 keeps everything.
TEST(AsRunFile, RetentionRemovesOnlyDayFilesOlderThanKeepDays) {
    TempFolder folder;
    fs::create_directories(folder.path);
    const std::set<std::string> kept = {
        "2026-12-09.jsonl", "2026-09-10.jsonl", "notes.txt",        "2025-01-01.jsonl.bak",
        "2025-02-30.jsonl", "2025-1-01.jsonl",  "2024-01-01.jsonl", "2024-01-02.jsonl"};
    for (const char* name :
         {"2026-12-09.jsonl", "2026-09-10.jsonl", "2026-09-09.jsonl", "1999-12-31.jsonl",
          "notes.txt", "2025-01-01.jsonl.bak", "2025-02-30.jsonl", "2025-1-01.jsonl"})
        std::ofstream(folder.path / name) << "{}\n";
    fs::create_directory(folder.path / "2024-01-01.jsonl");
    fs::create_symlink(folder.path / "notes.txt", folder.path / "2024-01-02.jsonl");
    const auto today = std::chrono::sys_days{std::chrono::year{2026} / 12 / 9};
    EXPECT_EQ(RemoveOldDays(folder.path, today, 0), 0);
    EXPECT_EQ(RemoveOldDays(folder.path, today, 90), 2);
    std::set<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, kept);
    EXPECT_EQ(RemoveOldDays(folder.path / "missing", today, 90), 0);
}

// A folder it may not write in: each line refused at once, said once on standard error and
// once to the window, however many lines follow.
TEST(AsRunFile, ReadOnlyFolderIsSaidOnceAndNeverHolds) {
    TempFolder folder;
    fs::create_directories(folder.path);
    fs::permissions(folder.path, fs::perms::owner_read | fs::perms::owner_exec |
                                     fs::perms::group_read | fs::perms::group_exec |
                                     fs::perms::others_read | fs::perms::others_exec);
    const int status = RunUnprivileged([&] {
        int notices = 0;
        ::testing::internal::CaptureStderr();
        AsRunFile file(folder.path, [&](const std::string&) { ++notices; });
        const auto start = std::chrono::steady_clock::now();
        int written = 0;
        for (int i = 0; i < 50; ++i) written += file.Append("2026-12-09", "{}\n");
        const auto took = std::chrono::steady_clock::now() - start;
        const std::string said = ::testing::internal::GetCapturedStderr();
        const std::string expected = "tessora: as-run log: " + folder.path.string() +
                                     "/2026-12-09.jsonl: Permission denied\n";
        if (written != 0) return 1;
        if (said != expected) return 2;
        if (notices != 1) return 3;
        return took < std::chrono::seconds(1) ? 0 : 4;
    });
    EXPECT_EQ(status, 0) << "1 written, 2 stderr, 3 notices, 4 slow";
}

// A full file system: one warning for the whole run of refused lines, no piece of a line
// left behind, and writing goes on, said once, as soon as there is room again.
TEST(AsRunFile, FullDiskWarnsOnceKeepsWholeLinesAndRecovers) {
    TempFolder folder;
    fs::create_directories(folder.path);
    if (::mount("tessora-asrun", folder.path.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no tmpfs may be mounted here: " << std::strerror(errno);
    // Let go before the folder is removed, however the test ends.
    struct Unmount {
        const fs::path& path;
        ~Unmount() { ::umount(path.c_str()); }
    } unmount{folder.path};
    const fs::path logs = folder.path / "as-run";
    int notices = 0;
    {
        AsRunFile file(logs, [&](const std::string&) { ++notices; });
        const std::string first = "{\"n\":1}\n";
        ASSERT_TRUE(file.Append("2026-12-09", first));
        const fs::path filler = folder.path / "filler";
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0600);
        const std::string block(1024, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, "x", 1) > 0) {
        }
        ::close(fd);
        ::testing::internal::CaptureStderr();
        const std::string big = "{\"text\":\"" + std::string(16 * 1024, 'y') + "\"}\n";
        EXPECT_FALSE(file.Append("2026-12-09", big));
        for (int i = 0; i < 20; ++i) EXPECT_FALSE(file.Append("2026-12-09", big));
        EXPECT_EQ(FileText(logs / "2026-12-09.jsonl"), first);
        fs::remove(filler);
        EXPECT_TRUE(file.Append("2026-12-09", big));
        EXPECT_TRUE(file.Append("2026-12-09", first));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(Count(said, "No space left on device"), 1) << said;
        EXPECT_EQ(Count(said, "written again"), 1) << said;
        EXPECT_EQ(FileText(logs / "2026-12-09.jsonl"), first + big + first);
    }
    EXPECT_EQ(notices, 1);
}

// The day file deleted, or its folder moved away, while the program runs: the next line is
// in a new file where the path says, said once each time, and the lines after it follow.
TEST(AsRunFile, ADayFileGoneWhileOpenIsMadeAgain) {
    TempFolder folder;
    const fs::path day = folder.path / "2026-12-09.jsonl";
    int notices = 0;
    AsRunFile file(folder.path, [&](const std::string&) { ++notices; });
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(file.Append("2026-12-09", "{\"n\":1}\n"));
    fs::remove(day);
    EXPECT_TRUE(file.Append("2026-12-09", "{\"n\":2}\n"));
    EXPECT_TRUE(file.Append("2026-12-09", "{\"n\":3}\n"));
    EXPECT_EQ(FileText(day), "{\"n\":2}\n{\"n\":3}\n");
    const fs::path moved = folder.path.string() + ".moved";
    fs::rename(folder.path, moved);
    EXPECT_TRUE(file.Append("2026-12-09", "{\"n\":4}\n"));
    EXPECT_EQ(FileText(day), "{\"n\":4}\n");
    EXPECT_EQ(FileText(moved / "2026-12-09.jsonl"), "{\"n\":2}\n{\"n\":3}\n");
    fs::remove_all(moved);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "tessora: as-run log: " + day.string() + ": gone while written, made again\n" +
                        "tessora: as-run log: " + day.string() +
                        ": gone while written, made again\n");
    EXPECT_EQ(notices, 0);
}

// A day file that is a FIFO or a link is no file to write: refused at once, with the
// reason, and nothing written where the link points.
TEST(AsRunFile, AFifoOrALinkAsTheDayFileIsRefused) {
    TempFolder folder;
    fs::create_directories(folder.path);
    const fs::path day = folder.path / "2026-12-09.jsonl";
    const fs::path outside = folder.path.string() + ".outside";
    std::ofstream(outside) << "mine\n";
    const auto fifo = [&] { ::mkfifo(day.c_str(), 0600); };
    const auto link = [&] { fs::create_symlink(outside, day); };
    const struct {
        std::function<void()> make;
        const char* why;
    } cases[] = {{fifo, "it is a FIFO, not a day file"}, {link, "it is a link, not a day file"}};
    for (const auto& c : cases) {
        fs::remove(day);
        c.make();
        std::vector<std::string> reasons;
        ::testing::internal::CaptureStderr();
        AsRunFile file(folder.path, [&](const std::string& why) { reasons.push_back(why); });
        EXPECT_FALSE(file.Append("2026-12-09", "{}\n"));
        EXPECT_FALSE(file.Append("2026-12-09", "{}\n"));
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(reasons, std::vector<std::string>{c.why});
    }
    EXPECT_EQ(FileText(outside), "mine\n");
    fs::remove(outside);
}

}  // namespace
