#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "AllocationWatch.h"
#include "Archive.h"
#include "Exceptions.h"
#include "MemFile.h"
#include "PrintDocument.h"
#include "TessoraFile.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::string kEndOfFile = "An attempt was made to access an unnamed file past its end.";
const std::string kGeneric = "An unknown error occurred while accessing an unnamed file.";

Bytes Hex(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes operator+(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes Zeros(std::size_t count) {
    return Bytes(count, 0);
}

Bytes Save(const CTessoraFile& doc) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    CTessoraFile copy = doc;
    copy.Serialize(ar);
    ar.Close();
    return file.GetBytes();
}

// Loads into doc; the error's text, or empty on success.
std::string Load(const Bytes& bytes, CTessoraFile& doc) {
    CMemFile file(bytes);
    CArchive ar(file, CArchive::load);
    try {
        doc.Serialize(ar);
    } catch (const CException& error) {
        return error.Text();
    }
    return {};
}

CTessoraFile OnAir() {
    CTessoraFile doc;
    for (int screen = 0; screen < CTessoraFile::kScreenCount; ++screen) {
        doc.TimeCorner(screen) = 10 + screen;
        doc.DateCorner(screen) = 20 + screen;
        doc.Text(screen) = "screen " + std::to_string(screen);
    }
    return doc;
}

TEST(TessoraFileTest, ScreenIndexesReachTheirOwnFieldsAndNothingElse) {
    const CTessoraFile doc = OnAir();
    EXPECT_EQ(doc.m_nTime3, 12);
    EXPECT_EQ(doc.m_nDate4, 23);
    EXPECT_EQ(doc.m_strText2, "screen 1");
    for (const int outside : {-1, 4, INT_MIN, INT_MAX}) {
        EXPECT_EQ(doc.GetTimeCorner(outside), 0) << outside;
        EXPECT_EQ(doc.GetDateCorner(outside), 0) << outside;
    }
    EXPECT_EQ(doc.GetTimeCorner(3), 13);
    EXPECT_EQ(doc.GetDateCorner(0), 20);

    CTessoraFile reset = doc;
    reset.Reset();
    EXPECT_EQ(reset, CTessoraFile{});
}

TEST(TessoraFileTest, DocumentsAndTheirBytesMatchBothWays) {
    CTessoraFile example;
    example.m_nTime1 = 1;
    example.m_nDate1 = 4;
    example.m_strText1 = "abc";
    CTessoraFile odd;  // corners outside the lists are kept as they are
    odd.m_nTime2 = 7;
    odd.m_nDate2 = -1;
    odd.m_nTime4 = INT_MIN;
    odd.m_nDate4 = INT_MAX;
    const struct {
        const char* name;
        CTessoraFile doc;
        Bytes bytes;
    } cases[] = {
        {"reset", CTessoraFile{}, Zeros(36)},
        {"worked example", example, Hex("01 00 00 00 04 00 00 00 03 61 62 63") + Zeros(27)},
        {"odd corners", odd,
         Zeros(9) + Hex("07 00 00 00 FF FF FF FF 00") + Zeros(9) +
             Hex("00 00 00 80 FF FF FF 7F 00")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Save(c.doc), c.bytes) << c.name;
        CTessoraFile loaded = OnAir();
        EXPECT_EQ(Load(c.bytes, loaded), "") << c.name;
        EXPECT_EQ(loaded, c.doc) << c.name;
    }
}

TEST(TessoraFileTest, LengthPrefixWidensAtItsBoundaries) {
    const struct {
        std::size_t length;
        const char* prefix;
    } cases[] = {
        {254, "FE"},
        {255, "FF FF 00"},
        {4097, "FF 01 10"},
        {65533, "FF FD FF"},
        {65534, "FF FF FF FE FF 00 00"},
        {70000, "FF FF FF 70 11 01 00"},
    };
    for (const auto& c : cases) {
        CTessoraFile doc;
        for (std::size_t i = 0; i < c.length; ++i) {
            doc.m_strText3.push_back(static_cast<char>(1 + i % 255));
        }
        const Bytes prefix = Hex(c.prefix);
        const Bytes saved = Save(doc);
        // Screen3's text starts after two empty records and its own corners.
        ASSERT_EQ(saved.size(), 36 - 1 + prefix.size() + c.length) << c.length;
        EXPECT_EQ(Bytes(saved.begin() + 26, saved.begin() + 26 + prefix.size()), prefix)
            << c.length;
        CTessoraFile loaded;
        EXPECT_EQ(Load(saved, loaded), "") << c.length;
        EXPECT_EQ(loaded, doc) << c.length;
    }
}

// Each row gives the text bytes of Screen4, the last field of the file, so that the bytes
// remaining after a length are exactly those of the row.
TEST(TessoraFileTest, LastTextReadsAsItsBytesSay) {
    const std::string ff15 = "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF";
    const struct {
        const char* name;
        std::string text;
        std::string expected;  // the loaded text, or the error's text
    } cases[] = {
        {"one-byte length", "03 61 62 63", "abc"},
        {"bytes after the last record", "03 61 62 63 00 00 00 FF", "abc"},
        {"three-byte length", "FF 03 00 61 62 63", "abc"},
        {"seven-byte length", "FF FF FF 03 00 00 00 61 62 63", "abc"},
        {"fifteen-byte length", "FF FF FF FF FF FF FF 03 00 00 00 00 00 00 00 61 62 63", "abc"},
        {"text short of its length", "03 61 62", kEndOfFile},
        {"NUL cuts the text", "05 61 00 62 63 64", "a"},
        {"16-bit text", "FF FE FF 03 61 00 62 00 63 00", "abc"},
        {"16-bit text one byte short", "FF FE FF 03 61 00 62 00 63", kEndOfFile},
        {"16-bit three-byte length", "FF FE FF FF 02 00 61 00 62 00", "ab"},
        {"16-bit NUL cuts the text", "FF FE FF 03 61 00 00 00 63 00", "a"},
        {"16-bit beyond Windows-1252", "FF FE FF 05 AC 20 00 01 3D D8 00 DE 00 DC", "\x80???"},
        {"64-bit length at the limit", "FF FF FF FF FF FF FF FF FF FF 7F 00 00 00 00", kEndOfFile},
        {"64-bit length above the limit", "FF FF FF FF FF FF FF 00 00 00 80 00 00 00 00", kGeneric},
        {"64-bit length of all ones", ff15, kGeneric},
        {"huge 32-bit length", "FF FF FF FE FF FF FF 61", kEndOfFile},
        {"huge 16-bit count", "FF FE FF FF FF FF FF FE FF FF FF 61 00", kEndOfFile},
    };
    for (const auto& c : cases) {
        const Bytes file = Zeros(35) + Hex(c.text);
        CTessoraFile doc = OnAir();
        std::string error;
        {
            // However long a length claims to be, nothing near it is allocated.
            CAllocationWatch watch;
            error = Load(file, doc);
            EXPECT_LT(watch.Largest(), 1024u) << c.name;
            // It did see the copy of the file, so the bound above is not vacuous.
            EXPECT_GE(watch.Largest(), file.size()) << c.name;
        }
        const bool failed = c.expected == kEndOfFile || c.expected == kGeneric;
        EXPECT_EQ(error, failed ? c.expected : "") << c.name;
        EXPECT_EQ(doc.m_strText4, failed ? OnAir().m_strText4 : c.expected) << c.name;
    }
}

TEST(TessoraFileTest, SecondMarkerAfterTheFirstIsALength) {
    const std::size_t count = 0xFFFE;
    Bytes text = Hex("FF FE FF FF FE FF");
    for (std::size_t i = 0; i < count; ++i) text.insert(text.end(), {0x61, 0x00});
    CTessoraFile doc;
    EXPECT_EQ(Load(Zeros(8) + text + Zeros(27), doc), "");
    EXPECT_EQ(doc.m_strText1.size(), count);
    EXPECT_EQ(doc.m_strText1.find_first_not_of('a'), std::string::npos);
}

TEST(TessoraFileTest, EveryTruncatedFileFailsAtItsEndAndChangesNothing) {
    CTessoraFile rich = OnAir();
    rich.m_strText2 = std::string(300, 'x');
    for (const Bytes& whole : {Save(CTessoraFile{}), Save(rich)}) {
        for (std::size_t size = 0; size < whole.size(); ++size) {
            CTessoraFile doc = OnAir();
            EXPECT_EQ(Load(Bytes(whole.begin(), whole.begin() + size), doc), kEndOfFile) << size;
            EXPECT_EQ(doc, OnAir()) << size;
        }
    }
}

// A recording file: what reaches it, in which pieces.
class CPieceFile : public CMemFile {
public:
    void Write(const void* buffer, std::size_t count) override {
        pieces.push_back(count);
        CMemFile::Write(buffer, count);
    }
    std::vector<std::size_t> pieces;
};

TEST(TessoraFileTest, StoringWritesWholeBuffersAndTheRestOnClose) {
    const struct {
        std::size_t textLength;
        std::vector<std::size_t> pieces;
    } cases[] = {
        {0, {36}},
        {4000, {36 + 2 + 4000}},
        {9000, {4096, 4096, 36 + 2 + 9000 - 8192}},
    };
    for (const auto& c : cases) {
        CTessoraFile doc;
        doc.m_strText1.assign(c.textLength, 'q');
        CPieceFile file;
        CArchive ar(file, CArchive::store);
        doc.Serialize(ar);
        EXPECT_EQ(file.GetBytes().size(), c.pieces.size() > 1 ? 8192u : 0u) << c.textLength;
        ar.Close();
        EXPECT_EQ(file.pieces, c.pieces) << c.textLength;
    }
}

}  // namespace
