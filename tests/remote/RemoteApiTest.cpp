#include <gtest/gtest.h>

#include "RemoteApi.h"

namespace remote {
namespace {

Request Accepted(std::string_view method, std::string_view path, std::string_view body = "") {
    auto result = ParseRequest(method, path, body);
    if (const auto* refusal = std::get_if<Refusal>(&result)) {
        ADD_FAILURE() << method << " " << path << " " << body << " refused " << refusal->status
                      << ": " << refusal->reason;
        return {};
    }
    return std::get<Request>(result);
}

Refusal Refused(std::string_view method, std::string_view path, std::string_view body = "") {
    auto result = ParseRequest(method, path, body);
    if (std::holds_alternative<Request>(result)) {
        ADD_FAILURE() << method << " " << path << " " << body << " accepted";
        return {};
    }
    return std::get<Refusal>(result);
}

TEST(RemoteRequest, EachCallReadsItsScreenAndFields) {
    EXPECT_EQ(Accepted("GET", "/api/v1/status").action, Action::Status);

    const Request put =
        Accepted("PUT", "/api/v1/screens/4", R"({"text": "Ça va\n2", "date": 0, "time": 4.0})");
    EXPECT_EQ(put.action, Action::PutScreen);
    EXPECT_EQ(put.screen, 4);
    EXPECT_EQ(put.edit.text, "Ça va\n2");
    EXPECT_EQ(put.edit.date, 0);
    EXPECT_EQ(put.edit.time, 4);

    const Request textOnly = Accepted("PUT", "/api/v1/screens/1", R"({"text": ""})");
    EXPECT_EQ(textOnly.edit.text, "");
    EXPECT_FALSE(textOnly.edit.date || textOnly.edit.time);

    const Request select = Accepted("POST", "/api/v1/screens/2/select");
    EXPECT_EQ(select.action, Action::SelectScreen);
    EXPECT_EQ(select.screen, 2);

    EXPECT_EQ(Accepted("POST", "/api/v1/send").screen, 0);
    EXPECT_EQ(Accepted("POST", "/api/v1/send", R"( {"screen": 3} )").screen, 3);
    EXPECT_EQ(Accepted("POST", "/api/v1/clear", "{}").action, Action::Clear);
    // A status request's body is not read.
    EXPECT_EQ(Accepted("GET", "/api/v1/status", "not json").action, Action::Status);
}

TEST(RemoteRequest, UnknownPathsAre404AndWrongMethods405WithAllow) {
    for (const char* path :
         {"/", "/api/v1", "/api/v1/", "/api/v2/status", "/api/v1/status/", "/api/v1/screens",
          "/api/v1/screens/", "/api/v1/screens/x", "/api/v1/screens/1/", "/api/v1/screens/1/send",
          "/api/v1/screens/-1", "/API/V1/STATUS", "/api/v1/send/extra"})
        EXPECT_EQ(Refused("GET", path).status, 404) << path;

    const Refusal getSend = Refused("GET", "/api/v1/send");
    EXPECT_EQ(getSend.status, 405);
    EXPECT_EQ(getSend.allow, "POST");
    EXPECT_EQ(Refused("POST", "/api/v1/status").allow, "GET");
    EXPECT_EQ(Refused("POST", "/api/v1/screens/1").allow, "PUT");
    EXPECT_EQ(Refused("PUT", "/api/v1/screens/1/select").allow, "POST");
    EXPECT_EQ(Refused("", "/api/v1/clear").status, 405);
    // The method is judged before the screen's range.
    EXPECT_EQ(Refused("GET", "/api/v1/screens/9").status, 405);
}

TEST(RemoteRequest, OutOfRangeScreensAndCornersAre400) {
    for (const char* path : {"/api/v1/screens/0", "/api/v1/screens/5", "/api/v1/screens/999999999",
                             "/api/v1/screens/0004x"})
        EXPECT_NE(Refused("PUT", path, "{}").status, 200) << path;
    EXPECT_EQ(Refused("PUT", "/api/v1/screens/0", "{}").status, 400);
    EXPECT_EQ(Refused("PUT", "/api/v1/screens/5", "{}").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/screens/5/select").status, 400);

    for (const char* body : {R"({"date": 5})", R"({"date": -1})", R"({"time": 1.5})",
                             R"({"time": 1e300})", R"({"date": 4294967297})"})
        EXPECT_EQ(Refused("PUT", "/api/v1/screens/1", body).status, 400) << body;
    for (const char* body : {R"({"screen": 0})", R"({"screen": 5})", R"({"screen": 2.5})"})
        EXPECT_EQ(Refused("POST", "/api/v1/send", body).status, 400) << body;
}

TEST(RemoteRequest, BadJsonUnknownFieldsAndWrongTypesAre400) {
    const char* const bodies[] = {
        "",                         // a PUT needs an object
        "{",                        // not JSON
        "[1]",                      // not an object
        "\"text\"",                 // not an object
        R"({"text": 5})",           // wrong type
        R"({"text": null})",        // wrong type
        R"({"date": "1"})",         // wrong type
        R"({"time": true})",        // wrong type
        R"({"colour": "red"})",     // unknown field
        R"({"Text": "a"})",         // names are exact
        R"({"text": "a\u0000b"})",  // no control characters in a caption
        R"({"text": "a\u001bb"})",
        "{\"text\": \"\xff\xfe\"}",  // not UTF-8
    };
    for (const char* body : bodies) {
        const Refusal refusal = Refused("PUT", "/api/v1/screens/2", body);
        EXPECT_EQ(refusal.status, 400) << body;
        EXPECT_FALSE(refusal.reason.empty());
    }
    EXPECT_EQ(Refused("POST", "/api/v1/send", R"({"screen": "2"})").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/send", R"({"text": "x"})").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/clear", R"({"screen": 1})").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/screens/1/select", "nope").status, 400);
    // Tabs and line ends are what a text box holds.
    EXPECT_EQ(Accepted("PUT", "/api/v1/screens/2", R"({"text": "a\tb\r\nc"})").edit.text,
              "a\tb\r\nc");
}

TEST(RemoteRequest, CueCallsTakeACueNumberAndNothingElse) {
    EXPECT_EQ(Accepted("GET", "/api/v1/cues").action, Action::Cues);
    const Request next = Accepted("POST", "/api/v1/cues/take");
    EXPECT_EQ(next.action, Action::CueTake);
    EXPECT_EQ(next.cue, 0);
    EXPECT_EQ(Accepted("POST", "/api/v1/cues/take", R"({"cue": 12})").cue, 12);
    EXPECT_EQ(Accepted("POST", "/api/v1/cues/next", "{}").action, Action::CueNext);
    EXPECT_EQ(Accepted("POST", "/api/v1/cues/previous").action, Action::CuePrevious);
    EXPECT_EQ(Refused("POST", "/api/v1/cues/take", R"({"cue": 0})").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/cues/take", R"({"cue": 1.5})").status, 400);
    EXPECT_EQ(Refused("POST", "/api/v1/cues/next", R"({"cue": 2})").reason, "unknown field: cue");
    EXPECT_EQ(Refused("POST", "/api/v1/cues/take", R"({"screen": 2})").status, 400);
    EXPECT_EQ(Refused("GET", "/api/v1/cues/take").allow, "POST");
    EXPECT_EQ(Refused("POST", "/api/v1/cues").allow, "GET");
    EXPECT_EQ(Refused("POST", "/api/v1/cues/1").status, 404);
}

TEST(RemoteRequest, AutomationTakesHoldTrueOrFalseAndNothingElse) {
    EXPECT_TRUE(Accepted("POST", "/api/v1/automation", R"({"hold": true})").hold);
    const Request run = Accepted("POST", "/api/v1/automation", R"({"hold": false})");
    EXPECT_EQ(run.action, Action::Automation);
    EXPECT_FALSE(run.hold);
    for (const char* body :
         {"", "{}", R"({"hold": 1})", R"({"hold": "true"})", R"({"hold": true, "cue": 2})"})
        EXPECT_EQ(Refused("POST", "/api/v1/automation", body).status, 400) << body;
    EXPECT_EQ(Refused("GET", "/api/v1/automation").allow, "POST");
}

TEST(RemoteToken, OnlyTheExactBearerTokenPasses) {
    EXPECT_FALSE(Authorized("", ""));
    EXPECT_FALSE(Authorized("", "Bearer anything"));
    EXPECT_TRUE(Authorized("s3cret", "Bearer s3cret"));
    EXPECT_TRUE(Authorized("s3cret", "bearer s3cret"));
    for (const char* header :
         {"", "Bearer", "Bearer ", "Bearer s3cre", "Bearer s3cret ", "Bearer s3cretx",
          "Bearer S3cret", "Basic s3cret", "s3cret", "Bearer s3cres", "Bearer  s3cret"})
        EXPECT_FALSE(Authorized("s3cret", header)) << header;
    // A shorter token that repeats into the expected one is still wrong.
    EXPECT_FALSE(Authorized("abab", "Bearer ab"));
}

}  // namespace
}  // namespace remote
