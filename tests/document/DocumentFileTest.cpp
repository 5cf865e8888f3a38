#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "DocumentFile.h"
#include "FileBytes.h"
#include "PrintDocument.h"
#include "RunUnprivileged.h"

namespace fs = std::filesystem;

namespace {

using Cause = CFileException::Cause;

CTessoraFile Show() {
    CTessoraFile doc;
    doc.m_nTime1 = 1;
    doc.m_nDate2 = 4;
    doc.m_strText1 = std::string(4095, 'a');
    doc.m_strText2 = std::string(4097, 'b');
    doc.m_strText3 = "Caf\xE9";
    doc.m_strText4 = std::string(70000, 'd');
    return doc;
}

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/document-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_folder = pattern;
        fs::permissions(m_folder, fs::perms::all);  // reachable by an unprivileged child
    }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        }
        fs::remove_all(m_folder);
    }
    // Names in the folder other than the expected ones: leftovers of a save.
    std::vector<std::string> Strays(const std::vector<std::string>& expected) const {
        std::vector<std::string> strays;
        for (const auto& entry : fs::recursive_directory_iterator(m_folder)) {
            const auto name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
                strays.push_back(name);
            }
        }
        return strays;
    }

    fs::path m_folder;
};

TEST_F(DocumentFileTest, SavedDocumentLoadsBackWhole) {
    const fs::path target = m_folder / "news.tso";
    WriteAll(target, "an older show, longer than the new one would be if it were kept");
    ASSERT_TRUE(SaveDocument(Show(), target.string()));
    EXPECT_EQ(fs::file_size(target), 36u - 4 + (3 + 4095) + (3 + 4097) + (1 + 4) + (7 + 70000));
    CTessoraFile loaded;
    ASSERT_TRUE(LoadDocument(target.string(), loaded));
    EXPECT_EQ(loaded, Show());
    EXPECT_EQ(Strays({"news.tso"}), std::vector<std::string>{});
}

TEST_F(DocumentFileTest, LoadThatCannotOpenSaysWhyAndChangesNothing) {
    WriteAll(m_folder / "plain", "x");
    const struct {
        fs::path path;
        Cause cause;
    } cases[] = {
        {m_folder / "missing.tso", Cause::fileNotFound},
        {m_folder, Cause::accessDenied},
        {m_folder / "plain" / "below.tso", Cause::badPath},
    };
    for (const auto& c : cases) {
        CTessoraFile doc = Show();
        CFileException error;
        EXPECT_FALSE(LoadDocument(c.path.string(), doc, &error)) << c.path;
        EXPECT_EQ(error.GetCause(), c.cause) << c.path;
        EXPECT_EQ(error.GetFileName(), c.path.lexically_normal().string());
        EXPECT_EQ(doc, Show());
    }
}

TEST_F(DocumentFileTest, ShortFileFailsAfterOpeningAndChangesNothing) {
    const fs::path target = m_folder / "short.tso";
    WriteAll(target, std::string(20, '\0'));
    CTessoraFile doc = Show();
    try {
        (void)LoadDocument(target.string(), doc);
        FAIL() << "a 20-byte file loaded";
    } catch (const CArchiveException& error) {
        EXPECT_EQ(error.Text(), "An attempt was made to access an unnamed file past its end.");
    }
    EXPECT_EQ(doc, Show());
}

TEST_F(DocumentFileTest, FullDiskKeepsTheEarlierFileAndLeavesNoTemporary) {
    const fs::path target = m_folder / "news.tso";
    WriteAll(target, "earlier");
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = 10000;  // far below the document's 78 KiB
    auto* const previous = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
    try {
        (void)SaveDocument(Show(), target.string());
        ADD_FAILURE() << "a save beyond the size limit succeeded";
    } catch (const CFileException& error) {
        EXPECT_EQ(error.GetCause(), Cause::diskFull);
        EXPECT_EQ(error.Text(), "Disk full while accessing " + target.string() + ".");
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadAll(target), "earlier");
    EXPECT_EQ(Strays({"news.tso"}), std::vector<std::string>{});
}

TEST_F(DocumentFileTest, SaveRefusesWhatItCouldNotWriteInPlace) {
    fs::create_directory(m_folder / "locked");
    fs::permissions(m_folder / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
    WriteAll(m_folder / "readonly.tso", "kept");
    fs::permissions(m_folder / "readonly.tso",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directory(m_folder / "folder.tso");
    const struct {
        fs::path path;
        Cause cause;
    } cases[] = {
        {m_folder / "locked" / "news.tso", Cause::accessDenied},
        {m_folder / "readonly.tso", Cause::accessDenied},
        {m_folder / "folder.tso", Cause::accessDenied},
        {m_folder / "missing" / "news.tso", Cause::fileNotFound},
    };
    for (const auto& c : cases) {
        const int result = RunUnprivileged([&] {
            CFileException error;
            if (SaveDocument(Show(), c.path.string(), &error)) return 1;
            return error.GetFileName() == c.path.string() ? 10 + static_cast<int>(error.GetCause())
                                                          : 2;
        });
        EXPECT_EQ(result, 10 + static_cast<int>(c.cause)) << c.path;
    }
    EXPECT_EQ(ReadAll(m_folder / "readonly.tso"), "kept");
    EXPECT_EQ(Strays({"locked", "readonly.tso", "folder.tso"}), std::vector<std::string>{});
}

TEST_F(DocumentFileTest, SaveThroughALinkKeepsTheLinkAndThePermissions) {
    const fs::path real = m_folder / "real.tso";
    const fs::path link = m_folder / "link.tso";
    WriteAll(real, "earlier");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(real, mode);
    fs::create_symlink(real, link);
    ASSERT_TRUE(SaveDocument(CTessoraFile{}, link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadAll(real), std::string(36, '\0'));
    EXPECT_EQ(fs::status(real).permissions(), mode);
}

}  // namespace

namespace {

// Where a new file cannot keep what the old one had, the old file is rewritten in place: same
// file, same owner, same links, new bytes only.
TEST_F(DocumentFileTest, SaveKeepsOwnerLinksAndTheFileItself) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files away";
    const auto saves = [&](const fs::path& path) {
        CTessoraFile loaded;
        return RunUnprivileged([&] { return SaveDocument(Show(), path.string()) ? 0 : 1; }) == 0 &&
               LoadDocument(path.string(), loaded) && loaded == Show();
    };
    struct stat before {};
    struct stat after {};

    // Another user's show in a folder that user may not write (a shared show folder).
    fs::create_directory(m_folder / "shared");
    const fs::path own = m_folder / "shared" / "show.tso";
    WriteAll(own, "an older show");
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::stat(own.c_str(), &before), 0);
    EXPECT_TRUE(saves(own));
    ASSERT_EQ(::stat(own.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // Root's world-writable file in a sticky folder everyone writes, saved by someone else.
    fs::create_directory(m_folder / "sticky");
    ASSERT_EQ(::chmod((m_folder / "sticky").c_str(), 01777), 0);
    const fs::path others = m_folder / "sticky" / "show.tso";
    WriteAll(others, "root's");
    ASSERT_EQ(::chmod(others.c_str(), 0666), 0);
    EXPECT_TRUE(saves(others));
    ASSERT_EQ(::stat(others.c_str(), &after), 0);
    EXPECT_EQ(after.st_uid, 0u);

    // Two names for one file: both show the save.
    const fs::path linked = m_folder / "linked.tso";
    fs::create_hard_link(own, linked);
    ASSERT_TRUE(SaveDocument(CTessoraFile{}, linked.string()));
    EXPECT_EQ(ReadAll(own), std::string(36, '\0'));

    // A link to a file not yet made: the file is made and the link stays.
    const fs::path dangling = m_folder / "dangling.tso";
    fs::create_symlink("made.tso", dangling);
    ASSERT_TRUE(SaveDocument(CTessoraFile{}, dangling.string()));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadAll(m_folder / "made.tso"), std::string(36, '\0'));

    EXPECT_EQ(Strays({"shared", "show.tso", "sticky", "linked.tso", "dangling.tso", "made.tso"}),
              std::vector<std::string>{});
}

TEST_F(DocumentFileTest, OpenRefusesATextTooLongToShowAndChangesNothing) {
    const fs::path target = m_folder / "long.tso";
    CTessoraFile doc;
    doc.m_strText2 = std::string(kLongestScreenText, 'x');
    ASSERT_TRUE(SaveDocument(doc, target.string()));
    CTessoraFile loaded;
    ASSERT_TRUE(LoadDocument(target.string(), loaded));
    EXPECT_EQ(loaded, doc);

    doc.m_strText2.push_back('x');
    ASSERT_TRUE(SaveDocument(doc, target.string()));
    loaded = Show();
    CFileException error;
    EXPECT_FALSE(LoadDocument(target.string(), loaded, &error));
    EXPECT_EQ(error.GetFileName(), target.string());
    EXPECT_EQ(loaded, Show());
}

}  // namespace
