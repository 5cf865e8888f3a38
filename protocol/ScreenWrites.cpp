#include "ScreenWrites.h"

#include "Commands.h"

std::vector<std::string_view> ScreenWrites::Writes() const {
    std::vector<std::string_view> writes{kClearCommand};
    for (const std::string_view bytes :
         {std::string_view(stamps.date), std::string_view(stamps.time),
          std::string_view(layout.commands)})
        if (!bytes.empty()) writes.push_back(bytes);
    return writes;
}

ScreenWrites ComposeSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now) {
    ScreenWrites send = ComposeClear(dateCorner, timeCorner, now);
    send.layout = LayOutText(text, dateCorner, timeCorner);
    return send;
}

ScreenWrites ComposeClear(int dateCorner, int timeCorner, std::time_t now) {
    return ScreenWrites{ComposeStamps(dateCorner, timeCorner, now), {}};
}
