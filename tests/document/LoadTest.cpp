// Loading through each system's own file layer (the one test of it that also runs on the
// Windows build, where saving is not built).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "DocumentFile.h"
#include "FileBytes.h"
#include "PrintDocument.h"

namespace fs = std::filesystem;

namespace {

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() / (std::string("tessora-load-") + info->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path m_folder;
};

TEST_F(LoadTest, EveryByteArrivesAsWritten) {
    // CR LF, a lone LF, 0x1A (end of file to a text-mode reader) and 0xFF.
    const std::string text =
        "a\r\nb\nc\x1A"
        "d\xFF";
    std::string bytes("\x02\0\0\0\x04\0\0\0", 8);
    bytes += static_cast<char>(text.size()) + text;
    bytes += std::string(27, '\0');
    bytes += "trailing bytes are ignored";
    WriteAll(m_folder / "show.tso", bytes);

    CTessoraFile doc;
    ASSERT_TRUE(LoadDocument((m_folder / "show.tso").string(), doc));
    CTessoraFile expected;
    expected.m_nTime1 = 2;
    expected.m_nDate1 = 4;
    expected.m_strText1 = text;
    EXPECT_EQ(doc, expected);
}

TEST_F(LoadTest, WhatIsNoScreenSetIsRefusedAndChangesNothing) {
    CTessoraFile doc;
    doc.m_strText2 = "kept";
    const CTessoraFile before = doc;
    const struct {
        fs::path path;
        CFileException::Cause cause;
    } cases[] = {
        {m_folder / "missing.tso", CFileException::Cause::fileNotFound},
        {m_folder, CFileException::Cause::accessDenied},
    };
    for (const auto& c : cases) {
        CFileException error;
        EXPECT_FALSE(LoadDocument(c.path.string(), doc, &error)) << c.path;
        EXPECT_EQ(error.GetCause(), c.cause) << c.path;
    }
    // A device's name opens the device on Windows, in any folder; elsewhere it is missing.
    EXPECT_FALSE(LoadDocument((m_folder / "NUL").string(), doc));
    WriteAll(m_folder / "short.tso", std::string(35, '\0'));
    EXPECT_THROW((void)LoadDocument((m_folder / "short.tso").string(), doc), CArchiveException);
    EXPECT_EQ(doc, before);
}

}  // namespace
