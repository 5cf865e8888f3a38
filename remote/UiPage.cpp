#include "UiPage.h"

#include <QFile>

namespace remote {
namespace {

constexpr std::string_view kRoot = "/ui";

// The page loads its own script, style and calls and nothing else; no site may frame it.
const char kPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

struct PageFile {
    std::string_view name;
    const char* resource;
    const char* type;
};

constexpr PageFile kFiles[] = {
    {"", ":/tessora/ui/index.html", "text/html; charset=utf-8"},
    {"index.html", ":/tessora/ui/index.html", "text/html; charset=utf-8"},
    {"ui.css", ":/tessora/ui/ui.css", "text/css; charset=utf-8"},
    {"ui.js", ":/tessora/ui/ui.js", "text/javascript; charset=utf-8"},
};

HeaderList Guarded(std::string type) {
    return {{"Content-Type", std::move(type)},  {"Content-Security-Policy", kPolicy},
            {"X-Frame-Options", "DENY"},        {"X-Content-Type-Options", "nosniff"},
            {"Referrer-Policy", "no-referrer"}, {"Cache-Control", "no-cache"}};
}

PageAnswer Text(int status, std::string text) {
    return {status, std::move(text), Guarded("text/plain; charset=utf-8")};
}

}  // namespace

bool IsPagePath(std::string_view path) {
    return path == kRoot || path.substr(0, kRoot.size() + 1) == "/ui/";
}

PageAnswer PageFor(std::string_view method, std::string_view path) {
    if (method != "GET") {
        PageAnswer answer = Text(405, "method not allowed here\n");
        answer.headers.emplace_back("Allow", "GET");
        return answer;
    }
    if (path == kRoot) {
        // The fragment that holds the token stays with the browser across the redirect.
        PageAnswer answer = Text(308, "the page is at /ui/\n");
        answer.headers.emplace_back("Location", "/ui/");
        return answer;
    }
    const std::string_view name = path.substr(kRoot.size() + 1);
    for (const PageFile& file : kFiles) {
        if (file.name != name) continue;
        QFile resource(QString::fromLatin1(file.resource));
        if (!resource.open(QIODevice::ReadOnly)) break;
        const QByteArray bytes = resource.readAll();
        return {200, bytes.toStdString(), Guarded(file.type)};
    }
    return Text(404, "no such page\n");
}

const HeaderList& ApiHeaders() {
    static const HeaderList headers{{"Cache-Control", "no-store"},
                                    {"X-Content-Type-Options", "nosniff"}};
    return headers;
}

}  // namespace remote
