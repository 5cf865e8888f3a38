#include "LineEnds.h"

#include <algorithm>
#include <vector>

std::string BoxLineEnds(std::string_view text) {
    std::string boxed;
    boxed.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            boxed.push_back('\n');
        } else {
            boxed.push_back(text[i]);
        }
    }
    return boxed;
}

std::string KeepLineEnds(std::string_view shown, std::string_view boxedNow) {
    // Where each character of the boxed form of shown begins in shown.
    std::vector<std::size_t> start;
    std::string boxedShown;
    start.reserve(shown.size() + 1);
    boxedShown.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        start.push_back(i);
        if (shown[i] == '\r') {
            if (i + 1 < shown.size() && shown[i + 1] == '\n') ++i;
            boxedShown.push_back('\n');
        } else {
            boxedShown.push_back(shown[i]);
        }
    }
    start.push_back(shown.size());

    // The box may also be asked before it has taken the text in, and then holds it as given.
    const std::string boxed = BoxLineEnds(boxedNow);
    if (boxed == boxedShown) return std::string(shown);

    // The unchanged beginning and end keep their bytes; only the edited middle is new.
    const std::size_t most = std::min(boxed.size(), boxedShown.size());
    std::size_t head = 0;
    while (head < most && boxed[head] == boxedShown[head]) ++head;
    std::size_t tail = 0;
    while (tail < most - head &&
           boxed[boxed.size() - 1 - tail] == boxedShown[boxedShown.size() - 1 - tail])
        ++tail;

    const bool crlf = shown.find("\r\n") != std::string_view::npos;
    std::string kept(shown.substr(0, start[head]));
    for (std::size_t i = head; i < boxed.size() - tail; ++i) {
        if (boxed[i] == '\n' && crlf) kept.push_back('\r');
        kept.push_back(boxed[i]);
    }
    kept.append(shown.substr(start[boxedShown.size() - tail]));
    return kept;
}
