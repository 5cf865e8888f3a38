#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "Cp1252.h"
#include "DocumentFile.h"
#include "Exceptions.h"
#include "LineEnds.h"

namespace {

using Cause = CFileException::Cause;

TEST(Cp1252Test, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const std::u16string wide = Utf16FromCp1252(all);
    EXPECT_EQ(wide[0x80], u'\u20AC');
    EXPECT_EQ(wide[0x9F], u'\u0178');
    EXPECT_EQ(wide[0x8D], u'\u008D');
    EXPECT_EQ(Cp1252FromUtf16(wide), all);
}

TEST(Cp1252Test, CharactersItCannotHoldBecomeQuestionMarks) {
    const struct {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"\u00E9\u2122\u0152", "\xE9\x99\x8C"},
        {u"\u0080\u009F\u0100\uFFFF", "????"},
        {u"a\U0001F600b", "a?b"},                             // a pair is one character
        {std::u16string{u'\xD83D', u'a', u'\xDE00'}, "?a?"},  // lone halves
    };
    for (const auto& c : cases) EXPECT_EQ(Cp1252FromUtf16(c.text), c.bytes) << c.bytes;
}

TEST(Cp1252Test, ControlCharactersTheUnitWouldActOnAreDropped) {
    // ESC, BEL, BS, VT, FF, DEL and NUL go; TAB, CR, LF and the high bytes stay.
    std::string text = std::string("a\x1B[2Jb") + '\x07' + '\x08' + '\x0B' + '\x0C' + '\x7F' +
                       '\0' + "c\td\r\ne" + '\x80' + '\xFF';
    EXPECT_EQ(DropControlCharacters(text), 7u);
    EXPECT_EQ(text, std::string("a[2Jbc\td\r\ne") + '\x80' + '\xFF');
    std::string clean = "Evening news\r\n\twith Sam";
    EXPECT_EQ(DropControlCharacters(clean), 0u);
}

TEST(TidyScreensTest, WhatTheUnitWouldActOnIsLeftOutAndStrayCornersReadAsNone) {
    CTessoraFile doc;
    doc.Text(0) = "Evening\x1B[2J news\r\n\tat ten\x07";
    doc.DateCorner(0) = 4;
    doc.TimeCorner(1) = -5;
    doc.DateCorner(3) = 5;
    const ScreenRepairs repairs = TidyScreens(doc);
    EXPECT_EQ(repairs.controls, 2u);
    EXPECT_EQ(repairs.corners, 2);
    EXPECT_EQ(doc.Text(0), "Evening[2J news\r\n\tat ten");
    EXPECT_EQ(doc.DateCorner(0), 4);
    EXPECT_EQ(doc.TimeCorner(1), 0);
    EXPECT_EQ(doc.DateCorner(3), 0);
    EXPECT_FALSE(TidyScreens(doc).Any());
}

TEST(ExceptionsTest, ErrnoMapsToTheCauseTheOperatorSees) {
    const struct {
        int error;
        Cause cause;
    } cases[] = {
        {ENOENT, Cause::fileNotFound},
        {EACCES, Cause::accessDenied},
        {EPERM, Cause::accessDenied},
        {EROFS, Cause::accessDenied},
        {ENOSPC, Cause::diskFull},
#ifdef EDQUOT
        {EDQUOT, Cause::diskFull},
#endif
        {EFBIG, Cause::diskFull},
        {EMFILE, Cause::tooManyOpenFiles},
        {ENFILE, Cause::tooManyOpenFiles},
        {ENAMETOOLONG, Cause::badPath},
        {ENOTDIR, Cause::badPath},
        {ELOOP, Cause::badPath},
        {EIO, Cause::hardIO},
        {EBUSY, Cause::sharingViolation},
        {ETXTBSY, Cause::sharingViolation},
        {EBADF, Cause::invalidFile},
        {EINVAL, Cause::generic},
        {0, Cause::generic},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CFileException::CauseFromErrno(c.error), c.cause) << c.error;
    }
}

TEST(ExceptionsTest, TextsNameTheFileOrAnUnnamedOne) {
    const std::string path = "/home/op/news.tso";
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {CFileException(Cause::fileNotFound, path).Text(), path + " was not found."},
        {CFileException(Cause::badSeek, path).Text(), "Seek failed on " + path},
        {CFileException(Cause::diskFull, path).Text(), "Disk full while accessing " + path + "."},
        {CFileException::FromErrno(EACCES, path).Text(), "Access to " + path + " was denied."},
        {CFileException(Cause::endOfFile, "").Text(),
         "An attempt was made to access an unnamed file past its end."},
        {CArchiveException(CArchiveException::Cause::generic).Text(),
         "An unknown error occurred while accessing an unnamed file."},
        {CMemoryException().Text(), "Out of memory."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
}

}  // namespace

// What comes back from the text box, which holds every line end as LF.
TEST(LineEndsTest, TheBoxKeepsNoLineEndButTheTextDoes) {
    const std::string windows = "Hello\r\nWorld\r\nold\rstyle";
    EXPECT_EQ(BoxLineEnds(windows), "Hello\nWorld\nold\nstyle");
    // Untouched, as the box gives it back or before it has taken it in: byte for byte.
    EXPECT_EQ(KeepLineEnds(windows, BoxLineEnds(windows)), windows);
    EXPECT_EQ(KeepLineEnds(windows, windows), windows);
    // Edited: new lines take the text's CR LF, and lines not touched keep even a lone CR.
    EXPECT_EQ(KeepLineEnds(windows, "Hello\nthere\nWorld\nold\nstyle"),
              "Hello\r\nthere\r\nWorld\r\nold\rstyle");
    EXPECT_EQ(KeepLineEnds(windows, "Hello\nWorld\nold\nstyle!\n"),
              "Hello\r\nWorld\r\nold\rstyle!\r\n");
    EXPECT_EQ(KeepLineEnds(windows, ""), "");
    // A text that had only LF, or none, keeps LF.
    EXPECT_EQ(KeepLineEnds("one\ntwo", "one\ntwo\nthree"), "one\ntwo\nthree");
    EXPECT_EQ(KeepLineEnds("", "typed\nnew"), "typed\nnew");
}
