#include "Archive.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>
#include <new>

#include "Cp1252.h"
#include "Exceptions.h"
#include "File.h"

namespace {

// Announces a text of 16-bit characters where a 16-bit length would stand.
constexpr std::uint16_t kWideMarker = 0xFFFE;
// Longest text a 64-bit length may announce.
constexpr std::uint64_t kLongestText = 0x7FFFFFFF;

[[noreturn]] void EndOfFile() {
    throw CArchiveException(CArchiveException::Cause::endOfFile);
}

}  // namespace

void CArchive::Write(const void* data, std::size_t count) {
    assert(IsStoring());
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const std::size_t taken = std::min(count, kBufferSize - m_nBufPos);
        std::memcpy(m_buffer.data() + m_nBufPos, bytes, taken);
        m_nBufPos += taken;
        bytes += taken;
        count -= taken;
        if (m_nBufPos == kBufferSize) Flush();
    }
}

void CArchive::Read(void* data, std::size_t count) {
    assert(IsLoading());
    auto* bytes = static_cast<unsigned char*>(data);
    while (count > 0) {
        if (m_nBufPos == m_nBufEnd) {
            // Large reads go straight to their destination.
            if (count >= kBufferSize) {
                if (m_file.Read(bytes, count) != count) EndOfFile();
                return;
            }
            m_nBufPos = 0;
            m_nBufEnd = m_file.Read(m_buffer.data(), kBufferSize);
            if (m_nBufEnd == 0) EndOfFile();
        }
        const std::size_t taken = std::min(count, m_nBufEnd - m_nBufPos);
        std::memcpy(bytes, m_buffer.data() + m_nBufPos, taken);
        m_nBufPos += taken;
        bytes += taken;
        count -= taken;
    }
}

std::uint64_t CArchive::GetRemaining() const {
    const std::uint64_t length = m_file.GetLength();
    const std::uint64_t position = m_file.GetPosition();
    return (m_nBufEnd - m_nBufPos) + (length > position ? length - position : 0);
}

void CArchive::WriteUnsigned(std::uint64_t value, std::size_t size) {
    std::array<unsigned char, 8> bytes{};
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    Write(bytes.data(), size);
}

std::uint64_t CArchive::ReadUnsigned(std::size_t size) {
    std::array<unsigned char, 8> bytes{};
    Read(bytes.data(), size);
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) value = (value << 8) | bytes[i];
    return value;
}

void CArchive::WriteInt32(std::int32_t value) {
    WriteUnsigned(static_cast<std::uint32_t>(value), 4);
}

std::int32_t CArchive::ReadInt32() {
    return static_cast<std::int32_t>(ReadUnsigned(4));
}

void CArchive::WriteString(std::string_view text) {
    // Each prefix width ends one value early: its all-ones value (and 0xFFFE, the 16-bit
    // marker) announces the next width.
    const std::uint64_t length = text.size();
    if (length < 0xFF) {
        WriteUnsigned(length, 1);
    } else {
        WriteUnsigned(0xFF, 1);
        if (length < kWideMarker) {
            WriteUnsigned(length, 2);
        } else {
            WriteUnsigned(0xFFFF, 2);
            if (length < 0xFFFFFFFF) {
                WriteUnsigned(length, 4);
            } else {
                WriteUnsigned(0xFFFFFFFF, 4);
                WriteUnsigned(length, 8);
            }
        }
    }
    Write(text.data(), text.size());
}

std::uint64_t CArchive::ReadStringLength(bool& wide) {
    wide = false;
    const auto byte = ReadUnsigned(1);
    if (byte < 0xFF) return byte;
    auto word = ReadUnsigned(2);
    if (word == kWideMarker) {
        wide = true;
        const auto wideByte = ReadUnsigned(1);
        if (wideByte < 0xFF) return wideByte;
        // After the marker a second 0xFFFE is a length, not another marker.
        word = ReadUnsigned(2);
    }
    if (word < 0xFFFF) return word;
    const auto dword = ReadUnsigned(4);
    if (dword < 0xFFFFFFFF) return dword;
    const auto qword = ReadUnsigned(8);
    if (qword > kLongestText) throw CArchiveException(CArchiveException::Cause::generic);
    return qword;
}

std::string CArchive::ReadString() {
    bool wide = false;
    const std::uint64_t length = ReadStringLength(wide);
    if (length > m_longestText) throw TextTooLong{length};
    // The length is checked against what the file still holds before anything is allocated,
    // so a damaged or hostile length costs nothing. Halving avoids overflow for wide texts.
    const std::uint64_t remaining = GetRemaining();
    if (length > (wide ? remaining / 2 : remaining)) EndOfFile();
    if (length > std::numeric_limits<std::size_t>::max() / 2) throw CMemoryException();
    try {
        const auto count = static_cast<std::size_t>(length);
        return wide ? ReadWideText(count) : ReadNarrowText(count);
    } catch (const std::bad_alloc&) {
        throw CMemoryException();
    }
}

std::string CArchive::ReadNarrowText(std::size_t length) {
    std::string text(length, '\0');
    Read(text.data(), length);
    // The text ends at its first NUL.
    text.resize(std::min(text.find('\0'), text.size()));
    return text;
}

std::string CArchive::ReadWideText(std::size_t length) {
    std::string bytes(2 * length, '\0');
    Read(bytes.data(), bytes.size());
    std::u16string units;
    units.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                                static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        if (unit == u'\0') break;
        units.push_back(unit);
    }
    return Cp1252FromUtf16(units);
}

void CArchive::Flush() {
    assert(IsStoring());
    if (m_nBufPos == 0) return;
    const std::size_t count = m_nBufPos;
    // Emptied first: a failed write is not retried from a later Close().
    m_nBufPos = 0;
    m_file.Write(m_buffer.data(), count);
}

void CArchive::Close() {
    if (IsStoring()) Flush();
}
