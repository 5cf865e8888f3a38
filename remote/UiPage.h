#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The operator's page: plain files kept in the program, served under /ui/ without a token
// (they hold no secret; the page takes its token from the address's fragment, which a
// browser never sends).
namespace remote {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct PageAnswer {
    int status = 200;
    std::string body;
    // Content-Type and the rest, the page's framing and script rules among them.
    HeaderList headers;
};

// Whether a path is the page's: /ui and everything under /ui/.
bool IsPagePath(std::string_view path);

// The answer to a request for one of the page's paths: its file, 404 for a name it does not
// have, 405 for a method other than GET, and a redirect from /ui to /ui/.
PageAnswer PageFor(std::string_view method, std::string_view path);

// What every answer of the interface's API carries: never kept by a cache, never read as
// anything but what it says it is.
const HeaderList& ApiHeaders();

}  // namespace remote
