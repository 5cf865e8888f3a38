#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CFile;

// A one-way stream of document fields over a file, through a 4096-byte buffer. Integers are
// little-endian; strings carry the length prefix of the .tso format.
//
// A storing archive reaches the file as its buffer fills and on Close(). Destroying it without
// Close() drops what is still buffered, so a save abandoned by an error never writes a part of
// a document as if it were whole.
class CArchive {
public:
    enum Mode { store, load };
    static constexpr std::size_t kBufferSize = 4096;

    CArchive(CFile& file, Mode mode) : m_file(file), m_mode(mode) {}
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const noexcept { return m_mode == store; }
    bool IsLoading() const noexcept { return m_mode == load; }

    void Write(const void* data, std::size_t count);
    // Exactly count bytes, or CArchiveException(endOfFile) when fewer remain.
    void Read(void* data, std::size_t count);
    // Bytes a load can still read: the buffered ones and the rest of the file.
    std::uint64_t GetRemaining() const;

    void WriteInt32(std::int32_t value);
    std::int32_t ReadInt32();
    void WriteString(std::string_view text);
    std::string ReadString();

    // Thrown by ReadString for a text longer than the limit set, before anything is read.
    struct TextTooLong {
        std::uint64_t length = 0;  // as the file gives it, in characters
    };
    // Longest text ReadString takes from now on, in characters.
    void LimitTextLength(std::uint64_t longest) noexcept { m_longestText = longest; }

    // Writes the buffer to the file.
    void Flush();
    // Flushes a storing archive; the file stays open.
    void Close();

    CArchive& operator<<(std::int32_t value) {
        WriteInt32(value);
        return *this;
    }
    CArchive& operator<<(std::string_view text) {
        WriteString(text);
        return *this;
    }
    CArchive& operator>>(std::int32_t& value) {
        value = ReadInt32();
        return *this;
    }
    CArchive& operator>>(std::string& text) {
        text = ReadString();
        return *this;
    }

private:
    void WriteUnsigned(std::uint64_t value, std::size_t size);
    std::uint64_t ReadUnsigned(std::size_t size);
    // The text's length in characters; wide is set for a text of 16-bit characters.
    std::uint64_t ReadStringLength(bool& wide);
    std::string ReadNarrowText(std::size_t length);
    std::string ReadWideText(std::size_t length);

    CFile& m_file;
    Mode m_mode;
    std::array<unsigned char, kBufferSize> m_buffer{};
    std::size_t m_nBufPos = 0;  // next byte to read, or to write
    std::size_t m_nBufEnd = 0;  // end of the bytes read into the buffer
    std::uint64_t m_longestText = UINT64_MAX;
};
