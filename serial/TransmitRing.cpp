#include "TransmitRing.h"

bool TransmitRing::Append(std::string_view bytes) {
    const std::size_t write = m_pTxWrite.load(std::memory_order_relaxed);
    // Acquire pairs with the consumer's release in Advance: the slots it has passed are
    // really done with before they are overwritten.
    const std::size_t read = m_pTxRead.load(std::memory_order_acquire);
    // Sent bytes not yet taken keep their slots.
    const std::size_t free = kCapacity - Distance(m_bKeepSent ? m_pTxTaken : read, write);
    if (bytes.size() > free) {
        return false;
    }
    std::size_t pos = write;
    for (const char c : bytes) {
        m_txBuf[pos] = static_cast<unsigned char>(c);
        pos = (pos + 1) & kMask;
    }
    // Publish only after every byte is stored, so the consumer never sees a slot early.
    m_pTxWrite.store(pos, std::memory_order_release);
    m_nAppended += bytes.size();
    return true;
}

bool TransmitRing::Peek(unsigned char* byte) const {
    assert(byte != nullptr);
    const std::size_t read = m_pTxRead.load(std::memory_order_relaxed);
    // Acquire pairs with the producer's release in Append: the bytes are there to read.
    if (Distance(read, m_pTxWrite.load(std::memory_order_acquire)) == 0) {
        return false;
    }
    *byte = m_txBuf[read];
    return true;
}

bool TransmitRing::Advance() {
    const std::size_t read = m_pTxRead.load(std::memory_order_relaxed);
    if (Distance(read, m_pTxWrite.load(std::memory_order_acquire)) == 0) {
        return false;
    }
    // Counted first: whoever sees the slot free also sees the byte passed.
    m_nPassed.store(m_nPassed.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    m_pTxRead.store((read + 1) & kMask, std::memory_order_release);
    return true;
}

std::size_t TransmitRing::Size() const {
    const std::size_t read = m_pTxRead.load(std::memory_order_acquire);
    const std::size_t write = m_pTxWrite.load(std::memory_order_acquire);
    return Distance(read, write);
}

void TransmitRing::Reset() {
    m_pTxRead.store(0, std::memory_order_release);
    m_pTxWrite.store(0, std::memory_order_release);
    m_pTxTaken = 0;
    m_nPassed.store(m_nAppended, std::memory_order_release);
}

void TransmitRing::KeepSentBytes(bool keep) {
    m_bKeepSent = keep;
    m_pTxTaken = m_pTxRead.load(std::memory_order_acquire);
}

std::size_t TransmitRing::TakeSent(std::string& out) {
    if (!m_bKeepSent) {
        return 0;
    }
    // Acquire pairs with the consumer's release in Advance: every byte before read is sent.
    const std::size_t read = m_pTxRead.load(std::memory_order_acquire);
    const std::size_t count = Distance(m_pTxTaken, read);
    for (std::size_t pos = m_pTxTaken; pos != read; pos = (pos + 1) & kMask) {
        out.push_back(static_cast<char>(m_txBuf[pos]));
    }
    m_pTxTaken = read;
    return count;
}
