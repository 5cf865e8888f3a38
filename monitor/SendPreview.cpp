#include "SendPreview.h"

#include "SendFrame.h"

SendPreview PreviewSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now) {
    SendPreview preview;
    SendFrame frame = ComposeSendFrame(text, dateCorner, timeCorner, now);
    for (const std::string_view bytes : frame.Writes()) preview.display.Feed(bytes);
    preview.layout = std::move(frame.layout);
    return preview;
}
