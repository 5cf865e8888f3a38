#include "SendPreview.h"

#include "Commands.h"
#include "Stamps.h"

SendPreview PreviewSend(std::string_view text, int dateCorner, int timeCorner, std::time_t now) {
    SendPreview preview;
    preview.layout = LayOutText(text, dateCorner, timeCorner);
    const StampCommands stamps = ComposeStamps(dateCorner, timeCorner, now);
    for (const std::string_view bytes :
         {kClearCommand, std::string_view(stamps.date), std::string_view(stamps.time),
          std::string_view(preview.layout.commands)})
        preview.display.Feed(bytes);
    return preview;
}
