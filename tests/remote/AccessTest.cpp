#include <gtest/gtest.h>

#include <set>

#include "Access.h"
#include "Token.h"

namespace remote {
namespace {

AccessRules Rules() {
    AccessRules rules;
    rules.port = 8420;
    rules.token = "s3cret";
    rules.origins = {"http://panel.local:8000"};
    return rules;
}

// A page that rebinds its own name to 127.0.0.1 still sends that name as its Host; only the
// spellings a local client uses are taken, with this interface's port or none.
TEST(RemoteAccess, HostNamesOnlyThisInterface) {
    AccessRules rules = Rules();
    for (const char* host :
         {"127.0.0.1", "127.0.0.1:8420", "[::1]", "[::1]:8420", "localhost", "LocalHost:8420"})
        EXPECT_TRUE(HostAllowed(rules, host)) << host;
    for (const char* host :
         {"",           ":8420",           "evil.example",        "evil.example:8420",
          "127.1",      "0x7f.1",          "0177.0.0.1",          "2130706433",
          "127.0.0.1.", "localhost.",      "127.0.0.2",           "::1",
          "[::1",       "[::1]8420",       "[0:0:0:0:0:0:0:1]",   "127.0.0.1:80",
          "127.0.0.1:", "127.0.0.1:08420", "127.0.0.1:8420:8420", "localhost.evil.example",
          "127.0.0.1 ", "192.168.1.20"})
        EXPECT_FALSE(HostAllowed(rules, host)) << host;
    rules.hosts = {"192.168.1.20", "studio-pc", "[fe80::1]"};
    for (const char* host : {"192.168.1.20:8420", "Studio-PC", "[FE80::1]:8420"})
        EXPECT_TRUE(HostAllowed(rules, host)) << host;
    EXPECT_FALSE(HostAllowed(rules, "studio-pc.evil.example"));
}

// A target in absolute form names the host itself; a good Host header does not make up for
// a foreign one there.
TEST(RemoteAccess, AbsoluteTargetsNameThisInterface) {
    const AccessRules rules = Rules();
    for (const char* target : {"/api/v1/status", "*", "http://127.0.0.1:8420/api/v1/status",
                               "HTTP://localhost/api/v1/status", "http://[::1]:8420"})
        EXPECT_TRUE(TargetAllowed(rules, target)) << target;
    for (const char* target :
         {"http://evil.example/api/v1/status", "http://evil.example:8420/api/v1/status",
          "http://127.0.0.1@evil.example/", "http://evil.example@127.0.0.1/", "https://127.0.0.1/",
          "127.0.0.1:8420", "api/v1/status", "", "http:///api/v1/status",
          "http://127.0.0.1:80/api/v1/status"})
        EXPECT_FALSE(TargetAllowed(rules, target)) << target;
}

// Sandboxed frames, data: and file: pages all send "null": listed, it would let them all in.
TEST(RemoteAccess, NullIsNoOrigin) {
    std::vector<std::string> dropped;
    const std::vector<std::string> usable = UsableOrigins(
        {"http://panel.local:8000", "null", "NULL", "http://127.0.0.1:8000"}, dropped);
    EXPECT_EQ(usable,
              (std::vector<std::string>{"http://panel.local:8000", "http://127.0.0.1:8000"}));
    EXPECT_EQ(dropped, (std::vector<std::string>{"null", "NULL"}));
    AccessRules rules = Rules();
    rules.origins.push_back("null");
    EXPECT_FALSE(OriginListed(rules, "null"));
}

TEST(RemoteAccess, JsonBodiesOnly) {
    for (const char* type : {"application/json", "Application/JSON",
                             "application/json; charset=utf-8", " application/json ;charset=UTF-8"})
        EXPECT_TRUE(IsJsonContentType(type)) << type;
    for (const char* type :
         {"", "text/plain", "application/x-www-form-urlencoded", "multipart/form-data; boundary=x",
          "application/json-seq", "text/plain; application/json", "application/jsonp"})
        EXPECT_FALSE(IsJsonContentType(type)) << type;
}

// What a browser page can send without asking is refused before anything runs, each check
// in its place: a forged page is told of its Host or Origin, never whether its token was
// right.
TEST(RemoteAccess, ChecksRunInTheirOrder) {
    const AccessRules rules = Rules();
    const auto status = [&](Incoming in) {
        const std::optional<Refusal> refusal = CheckAccess(rules, in);
        return refusal ? refusal->status : 200;
    };
    const Incoming good{"POST",          "127.0.0.1:8420",   std::nullopt,
                        "Bearer s3cret", "application/json", 0};
    EXPECT_EQ(status(good), 200);
    Incoming in = good;
    in.bodyBytes = kMaxBodyBytes + 1;
    in.host = "evil.example";
    EXPECT_EQ(status(in), 413);
    in.bodyBytes = 0;
    in.origin = "http://evil.example";
    EXPECT_EQ(status(in), 421);
    in.host = std::nullopt;
    EXPECT_EQ(status(in), 421);
    in.host = good.host;
    in.authorization = "";
    EXPECT_EQ(status(in), 403);
    in.origin = "null";
    EXPECT_EQ(status(in), 403);
    in.origin = "http://panel.local:8000";
    in.contentType = "text/plain";
    EXPECT_EQ(status(in), 401);
    in.authorization = good.authorization;
    EXPECT_EQ(status(in), 415);
    in.contentType = std::nullopt;
    EXPECT_EQ(status(in), 415);
    in.method = "GET";
    EXPECT_EQ(status(in), 200);
    // A listed page's preflight is answered without the token; another's is not.
    in.method = "OPTIONS";
    in.authorization = "";
    EXPECT_TRUE(IsListedPreflight(rules, in));
    in.origin = "http://panel.local:8001";
    EXPECT_FALSE(IsListedPreflight(rules, in));
    EXPECT_FALSE(Authorized("", "Bearer "));
}

// The operator's page calls from the interface's own address: that origin is let in, exactly
// as a browser spells it, and no look-alike is.
TEST(RemoteAccess, OwnOriginIsTheInterfacesHostAndPort) {
    AccessRules rules = Rules();
    rules.hosts = {"192.168.1.20", "studio-pc"};
    for (const char* origin :
         {"http://127.0.0.1:8420", "http://localhost:8420", "http://[::1]:8420",
          "http://192.168.1.20:8420", "http://studio-pc:8420"}) {
        EXPECT_TRUE(OwnOrigin(rules, origin)) << origin;
        Incoming in{"POST", "127.0.0.1:8420", origin, "Bearer s3cret", "application/json", 0};
        EXPECT_EQ(CheckAccess(rules, in), std::nullopt) << origin;
    }
    for (const char* origin :
         {"http://127.0.0.1", "http://127.0.0.1:8000", "https://127.0.0.1:8420",
          "http://evil.example:8420", "http://127.0.0.1:8420:8420", "http://[::1]:8420:8420",
          "http://LOCALHOST:8420", "http://127.0.0.1:8420/", "http://x@127.0.0.1:8420",
          "http://127.0.0.1.:8420", "http://localhost.evil.example:8420", "http://:8420",
          "http://studio-pc.evil.example:8420", "127.0.0.1:8420", "null", ""}) {
        EXPECT_FALSE(OwnOrigin(rules, origin)) << origin;
        EXPECT_FALSE(OriginListed(rules, origin)) << origin;
        Incoming in{"POST", "127.0.0.1:8420", origin, "Bearer s3cret", "application/json", 0};
        const std::optional<Refusal> refusal = CheckAccess(rules, in);
        EXPECT_EQ(refusal ? refusal->status : 200, 403) << origin;
    }
    // Port 80 is the one a browser leaves out.
    rules.port = 80;
    EXPECT_TRUE(OwnOrigin(rules, "http://127.0.0.1"));
    EXPECT_FALSE(OwnOrigin(rules, "http://127.0.0.1:8420"));
}

// The view token passes the checks that any caller must, and then may only read.
TEST(RemoteAccess, ViewTokenReadsAndNeverActs) {
    AccessRules rules = Rules();
    EXPECT_EQ(GrantOf(rules, "Bearer "), Grant::None);
    rules.viewToken = "l00k";
    EXPECT_EQ(GrantOf(rules, "Bearer s3cret"), Grant::Control);
    EXPECT_EQ(GrantOf(rules, "Bearer l00k"), Grant::View);
    for (const char* wrong : {"", "Bearer ", "Bearer l00", "Bearer l00kk", "l00k", "Basic l00k"})
        EXPECT_EQ(GrantOf(rules, wrong), Grant::None) << wrong;
    const Incoming look{"GET", "127.0.0.1:8420", std::nullopt, "Bearer l00k", std::nullopt, 0};
    EXPECT_EQ(CheckAccess(rules, look), std::nullopt);
    for (Action action : {Action::Status, Action::Cues, Action::Events}) {
        EXPECT_EQ(CheckGrant(Grant::View, action), std::nullopt);
        EXPECT_EQ(CheckGrant(Grant::Control, action), std::nullopt);
    }
    for (Action action :
         {Action::PutScreen, Action::SelectScreen, Action::Send, Action::Clear, Action::CueTake,
          Action::CueNext, Action::CuePrevious, Action::Automation}) {
        const std::optional<Refusal> refusal = CheckGrant(Grant::View, action);
        EXPECT_EQ(refusal ? refusal->status : 200, 403) << static_cast<int>(action);
        EXPECT_EQ(CheckGrant(Grant::Control, action), std::nullopt);
    }
}

TEST(RemoteAccess, TokensAreLongUrlSafeAndNew) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string token = NewToken();
        ASSERT_EQ(token.size(), 43u);
        EXPECT_EQ(token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789-_"),
                  std::string::npos)
            << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 50u);
}

}  // namespace
}  // namespace remote
