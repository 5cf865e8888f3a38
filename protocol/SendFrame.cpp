#include "SendFrame.h"

#include <functional>

#include "Commands.h"

std::vector<std::string_view> SendFrame::Writes() const {
    std::vector<std::string_view> writes{clear};
    for (const std::string& stamp : {std::cref(stamps.date), std::cref(stamps.time)})
        if (!stamp.empty()) writes.push_back(stamp);
    writes.push_back(layout.commands);
    return writes;
}

std::string SendFrame::Bytes() const {
    std::string bytes;
    for (std::string_view write : Writes()) bytes += write;
    return bytes;
}

SendFrame ComposeSendFrame(std::string_view text, int dateCorner, int timeCorner, std::time_t now) {
    SendFrame frame;
    frame.clear = std::string(kClearCommand);
    frame.stamps = ComposeStamps(dateCorner, timeCorner, now);
    frame.layout = LayOutText(text, dateCorner, timeCorner);
    return frame;
}
