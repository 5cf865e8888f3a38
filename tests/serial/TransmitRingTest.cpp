#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

#include "TransmitRing.h"

namespace {

std::string Drain(TransmitRing& ring) {
    std::string out;
    unsigned char byte = 0;
    while (ring.Peek(&byte)) {
        out.push_back(static_cast<char>(byte));
        ring.Advance();
    }
    return out;
}

std::string Pattern(std::size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 7 + seed) & 0xFF);  // every value, NUL included
    }
    return s;
}

TEST(TransmitRing, WrapsAroundKeepingOrderAndEveryByteValue) {
    TransmitRing ring;
    EXPECT_TRUE(ring.IsEmpty());
    const std::string first = Pattern(3000, 1);
    ASSERT_TRUE(ring.Append(first));
    EXPECT_EQ(Drain(ring), first);

    const std::string second = Pattern(2000, 2);  // runs over the end of the storage
    ASSERT_TRUE(ring.Append(second));
    EXPECT_EQ(ring.Size(), 2000u);
    EXPECT_EQ(Drain(ring), second);
    EXPECT_TRUE(ring.IsEmpty());
}

TEST(TransmitRing, RefusesWholeWhatDoesNotFit) {
    TransmitRing ring;
    ASSERT_TRUE(ring.Append(Pattern(TransmitRing::kCapacity - 10, 3)));
    EXPECT_FALSE(ring.Append(Pattern(11, 4)));
    EXPECT_EQ(ring.Size(), TransmitRing::kCapacity - 10);
    EXPECT_TRUE(ring.Append(Pattern(10, 5)));
    EXPECT_FALSE(ring.Append("x"));
    EXPECT_TRUE(ring.Append(""));
    EXPECT_EQ(ring.Size(), TransmitRing::kCapacity);

    ring.Advance();
    EXPECT_TRUE(ring.Append("y"));
    const std::string all = Drain(ring);
    ASSERT_EQ(all.size(), TransmitRing::kCapacity);
    EXPECT_EQ(all.back(), 'y');
    EXPECT_EQ(all.substr(all.size() - 11, 10), Pattern(10, 5));

    ring.Advance();  // on an empty ring: nothing to move past
    EXPECT_TRUE(ring.IsEmpty());
    ASSERT_TRUE(ring.Append("abc"));
    ring.Reset();
    unsigned char byte = 0;
    EXPECT_FALSE(ring.Peek(&byte));
}

// One producer and one consumer thread, as the window and writer threads use it.
TEST(TransmitRing, MegabyteThroughTwoThreadsArrivesByteForByte) {
    constexpr std::size_t kTotal = 1 << 20;
    std::mt19937 random(20261208);
    std::string stream;
    while (stream.size() < kTotal) {
        std::string piece(std::uniform_int_distribution<std::size_t>(1, 1023)(random), '\0');
        for (char& c : piece) {
            c = static_cast<char>(random());
        }
        stream += piece;
    }

    TransmitRing ring;
    std::thread producer([&] {
        std::mt19937 lengths(7);
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t n = std::min<std::size_t>(
                std::uniform_int_distribution<std::size_t>(1, 1023)(lengths), stream.size() - pos);
            while (!ring.Append(std::string_view(stream).substr(pos, n))) {
                std::this_thread::yield();
            }
            pos += n;
        }
    });
    std::size_t received = 0;
    std::size_t firstMismatch = stream.size();
    while (received < stream.size()) {
        unsigned char byte = 0;
        if (!ring.Peek(&byte)) {
            std::this_thread::yield();
            continue;
        }
        if (byte != static_cast<unsigned char>(stream[received]) &&
            firstMismatch == stream.size()) {
            firstMismatch = received;
        }
        ring.Advance();
        ++received;
    }
    producer.join();
    EXPECT_EQ(firstMismatch, stream.size()) << "first wrong byte at " << firstMismatch;
    EXPECT_TRUE(ring.IsEmpty());
}

}  // namespace

namespace {

// The consumer learns whether it passed a byte: only one that Peek gave can be passed.
TEST(TransmitRing, AdvanceSaysWhetherItPassedAByte) {
    TransmitRing ring;
    EXPECT_FALSE(ring.Advance());
    ASSERT_TRUE(ring.Append("ab"));
    EXPECT_TRUE(ring.Advance());
    EXPECT_TRUE(ring.Advance());
    EXPECT_FALSE(ring.Advance());
    EXPECT_EQ(ring.Size(), 0u);
}

}  // namespace

namespace {

// The window thread follows what really went out: kept bytes come back once, in order, and
// only after the consumer has passed them; until then they hold their slots.
TEST(TransmitRing, KeptSentBytesComeBackOnceInOrderAndHoldTheirSlots) {
    TransmitRing ring;
    ring.KeepSentBytes(true);
    const std::string first = Pattern(3000, 6);
    ASSERT_TRUE(ring.Append(first));
    std::string sent;
    EXPECT_EQ(ring.TakeSent(sent), 0u);
    EXPECT_EQ(Drain(ring), first);
    // Passed but not taken: the slots are still the producer's to read.
    EXPECT_FALSE(ring.Append(Pattern(2000, 7)));
    EXPECT_EQ(ring.TakeSent(sent), first.size());
    EXPECT_EQ(sent, first);

    const std::string second = Pattern(2000, 7);  // over the end of the storage
    ASSERT_TRUE(ring.Append(second));
    unsigned char byte = 0;
    for (int i = 0; i < 500 && ring.Peek(&byte); ++i) ring.Advance();
    sent.clear();
    ring.TakeSent(sent);
    EXPECT_EQ(sent, second.substr(0, 500));
    Drain(ring);
    sent.clear();
    ring.TakeSent(sent);
    EXPECT_EQ(sent, second.substr(500));
    EXPECT_EQ(ring.TakeSent(sent), 0u);

    ring.KeepSentBytes(false);
    ASSERT_TRUE(ring.Append("abc"));
    Drain(ring);
    EXPECT_EQ(ring.TakeSent(sent), 0u);
}

TEST(TransmitRing, KeptBytesThroughTwoThreadsComeBackByteForByte) {
    const std::string stream = Pattern(256 * 1024, 8);
    TransmitRing ring;
    ring.KeepSentBytes(true);
    std::string sent;
    std::thread producer([&] {
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t n = std::min<std::size_t>(1 + pos % 700, stream.size() - pos);
            while (!ring.Append(std::string_view(stream).substr(pos, n))) ring.TakeSent(sent);
            pos += n;
        }
        while (sent.size() < stream.size()) ring.TakeSent(sent);
    });
    for (std::size_t received = 0; received < stream.size();) {
        unsigned char byte = 0;
        if (ring.Peek(&byte)) {
            ring.Advance();
            ++received;
        } else {
            std::this_thread::yield();
        }
    }
    producer.join();
    EXPECT_TRUE(sent == stream);
}

}  // namespace
