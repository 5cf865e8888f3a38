#pragma once

#include <array>
#include <atomic>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The queue between the window thread, which appends whole strings, and the writer thread,
// which sends them one byte at a time. Exactly one thread appends and exactly one thread
// takes bytes; each advances only its own position and publishes it with a release store,
// so no lock is needed. A side reads its own position relaxed (no one else moves it) and
// the other's with acquire. The storage is fixed, so a stalled line cannot grow memory.
class TransmitRing {
public:
    static constexpr std::size_t kBufferSize = 4096;
    // One slot always stays free: equal positions mean empty.
    static constexpr std::size_t kCapacity = kBufferSize - 1;

    // Producer side. Queues all of bytes, or nothing when they do not fit: a caption
    // command cut short or overwriting queued bytes would garble the unit's display.
    bool Append(std::string_view bytes);

    // Consumer side. The byte at the head stays queued until Advance, so a byte whose
    // write failed is retried rather than lost. Advance passes the byte Peek gave and says
    // so; on an empty ring there is none, it moves nothing and gives false.
    bool Peek(unsigned char* byte) const;
    bool Advance();

    // Either side; from the producer it may overstate what is still queued.
    std::size_t Size() const;
    bool IsEmpty() const { return Size() == 0; }

    // Empties the ring; what was queued counts as passed, never sent. Only while no consumer
    // runs.
    void Reset();

    // The bytes of the ring's life, numbered from 0 in the order appended. Producer side: the
    // number after the last byte appended. Either side: every byte before Passed is done
    // with, passed by the consumer or dropped by Reset; it never goes back.
    std::uint64_t Appended() const { return m_nAppended; }
    std::uint64_t Passed() const { return m_nPassed.load(std::memory_order_acquire); }

    // Producer side. A ring that keeps its sent bytes holds each byte the consumer has
    // passed until TakeSent hands it over, so the producer can follow what really went out
    // without the consumer doing any more work. Their slots count as taken meanwhile.
    void KeepSentBytes(bool keep);
    // Appends the bytes passed since the last call to out and frees their slots; 0 when the
    // ring does not keep them.
    std::size_t TakeSent(std::string& out);

private:
    // How far write runs ahead of read; never beyond the capacity, or a side has moved the
    // other's position or run past it.
    static std::size_t Distance(std::size_t read, std::size_t write) {
        const std::size_t distance = (write - read) & kMask;
        assert(read < kBufferSize && write < kBufferSize && distance <= kCapacity);
        return distance;
    }

    static constexpr std::size_t kMask = kBufferSize - 1;
    static_assert((kBufferSize & kMask) == 0, "positions wrap with a mask");

    std::array<unsigned char, kBufferSize> m_txBuf{};
    std::atomic<std::size_t> m_pTxRead{0};    // next byte to send; moved by the consumer
    std::atomic<std::size_t> m_pTxWrite{0};   // where the next byte goes; moved by the producer
    std::uint64_t m_nAppended = 0;            // producer only
    std::atomic<std::uint64_t> m_nPassed{0};  // moved by the consumer, and by Reset
    // Producer only: the first sent byte not yet taken, while the ring keeps them.
    bool m_bKeepSent = false;
    std::size_t m_pTxTaken = 0;
};
