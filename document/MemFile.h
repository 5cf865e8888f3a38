#pragma once

#include <vector>

#include "File.h"

// A file held in memory: loads from bytes already read and saves without touching the disk.
class CMemFile : public CFile {
public:
    CMemFile() = default;
    explicit CMemFile(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}

    std::size_t Read(void* buffer, std::size_t count) override;
    void Write(const void* buffer, std::size_t count) override;
    std::uint64_t GetLength() const override { return m_bytes.size(); }
    std::uint64_t GetPosition() const override { return m_nPosition; }
    void Flush() override {}
    void Close() override {}

    const std::vector<unsigned char>& GetBytes() const noexcept { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
    std::size_t m_nPosition = 0;
};
