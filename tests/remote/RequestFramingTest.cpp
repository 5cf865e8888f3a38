#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RequestFraming.h"

namespace remote {
namespace {

const std::string kHead = "POST /api/v1/send HTTP/1.1\r\nHost: 127.0.0.1\r\n";

// Each request fed a byte at a time, as a slow client sends it, and whole.
bool Framed(const std::string& bytes, std::vector<std::string>* targets = nullptr) {
    RequestFraming whole;
    RequestFraming trickled;
    bool ok = true;
    for (char c : bytes) ok = trickled.Feed(std::string_view(&c, 1)) && ok;
    EXPECT_EQ(whole.Feed(bytes), ok) << bytes;
    EXPECT_EQ(whole.TakeTargets(), trickled.TakeTargets()) << bytes;
    if (targets) {
        RequestFraming again;
        again.Feed(bytes);
        *targets = again.TakeTargets();
    }
    return ok;
}

TEST(RequestFraming, WellFramedRequestsFollowOneAnother) {
    std::vector<std::string> targets;
    EXPECT_TRUE(Framed(kHead + "Content-Length: 12\r\n\r\n{\"screen\":2}" +
                           "GET /api/v1/status HTTP/1.1\r\n\r\n" + kHead +
                           "Transfer-Encoding: chunked\r\n\r\n5;x=y\r\n{\"scr\r\n"
                           "07\r\neen\":2}\r\n0\r\nX-Trailer: 1\r\n\r\n" +
                           "\r\nGET http://127.0.0.1/ HTTP/1.1\n\n",
                       &targets));
    EXPECT_EQ(targets, (std::vector<std::string>{"/api/v1/send", "/api/v1/status", "/api/v1/send",
                                                 "http://127.0.0.1/"}));
    // After an upgrade the bytes are another protocol's: never taken for a request.
    EXPECT_TRUE(Framed("GET /api/v1/events HTTP/1.1\r\nUpgrade: websocket\r\n\r\n\x89\x80junk"));
}

TEST(RequestFraming, MalformedOrAmbiguousFramingIsRefused) {
    for (const char* headers :
         {"Content-Length: 12, 12\r\n", "Content-Length: 12\r\nContent-Length: 13\r\n",
          "Content-Length: 12\r\nContent-Length: 12\r\n", "Content-Length: -1\r\n",
          "Content-Length: +12\r\n", "Content-Length: 0x0c\r\n", "Content-Length:\r\n",
          "Content-Length: 99999999999999999999999\r\n",
          "Content-Length: 12\r\nTransfer-Encoding: chunked\r\n",
          "Transfer-Encoding: gzip, chunked\r\n", "Transfer-Encoding: identity\r\n",
          "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", "Content-Length : 12\r\n",
          " Content-Length: 12\r\n", "X-Folded: a\r\n b\r\n"})
        EXPECT_FALSE(Framed(kHead + headers + "\r\n{\"screen\":2}")) << headers;
    const std::string chunked = kHead + "Transfer-Encoding: chunked\r\n\r\n";
    for (const char* body : {"zz\r\n", "-c\r\n", "\r\n", "1fffffffffffffffff\r\n", "0x0c\r\n",
                             "c\r\n{\"screen\":2}XX\r\n0\r\n\r\n"})
        EXPECT_FALSE(Framed(chunked + body)) << body;
    EXPECT_TRUE(Framed(chunked + "00000000000000000000c\r\n{\"screen\":2}\r\n0\r\n\r\n"));
    EXPECT_FALSE(Framed("GET\r\n\r\n"));
    EXPECT_FALSE(Framed("GET /a b HTTP/1.1\r\n\r\n"));
    EXPECT_FALSE(Framed(kHead + "X-Long: " + std::string(20000, 'a') + "\r\n\r\n"));
}

TEST(RequestFraming, TheTokenIsSeenInAHead) {
    const std::string head = "GET /api/v1/status HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    EXPECT_TRUE(HeadShowsToken(head + "authorization: Bearer s3cret\r\n", "s3cret"));
    EXPECT_FALSE(HeadShowsToken(head + "Authorization: Bearer wrong\r\n\r\n", "s3cret"));
    EXPECT_FALSE(HeadShowsToken(head + "\r\nAuthorization: Bearer s3cret\r\n", "s3cret"));
    EXPECT_FALSE(HeadShowsToken("GET /?Authorization: Bearer s3cret HTTP/1.1\r\n", "s3cret"));
}

}  // namespace
}  // namespace remote
