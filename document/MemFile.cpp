#include "MemFile.h"

#include <algorithm>
#include <cstring>

std::size_t CMemFile::Read(void* buffer, std::size_t count) {
    const std::size_t taken = std::min(count, m_bytes.size() - m_nPosition);
    if (taken > 0) std::memcpy(buffer, m_bytes.data() + m_nPosition, taken);
    m_nPosition += taken;
    return taken;
}

void CMemFile::Write(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const std::size_t overwritten = std::min(count, m_bytes.size() - m_nPosition);
    std::copy(bytes, bytes + overwritten,
              m_bytes.begin() + static_cast<std::ptrdiff_t>(m_nPosition));
    m_bytes.insert(m_bytes.end(), bytes + overwritten, bytes + count);
    m_nPosition += count;
}
