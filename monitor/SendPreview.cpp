#include "SendPreview.h"

#include "ScreenWrites.h"
#include "UnitCommands.h"

SendPreview PreviewSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now) {
    ScreenWrites send = ComposeSend(text, dateCorner, timeCorner, now);
    SendPreview preview;
    for (const std::string_view bytes : send.Writes()) preview.display.Feed(bytes);
    preview.layout = std::move(send.layout);
    preview.unitCommands = HoldsUnitCommands(text);
    return preview;
}
