#include "OperatorKeys.h"

#include "DialogTemplate.h"
#include "Messages.h"
#include "OnAirRecord.h"

namespace {

struct OperatorKey {
    const char* chord;
    unsigned message;
    WPARAM wParam;
    bool onStrip;
};

constexpr OperatorKey kOperatorKeys[] = {
    {"Ctrl+Return", UWM_SEND, 0, true},
    // The tabs Screen1 to Screen4 post screens 2 to 5.
    {"Ctrl+1", UWM_SELECT_SCREEN, 2, true},
    {"Ctrl+2", UWM_SELECT_SCREEN, 3, true},
    {"Ctrl+3", UWM_SELECT_SCREEN, 4, true},
    {"Ctrl+4", UWM_SELECT_SCREEN, 5, true},
    {"Ctrl+N", UWM_FILE_NEW, 0, false},
    {"Ctrl+O", UWM_FILE_OPEN, 0, false},
    {"Ctrl+S", UWM_FILE_SAVE, 0, false},
    {"F2", UWM_TOGGLE_MONITOR, 0, true},
};

}  // namespace

std::vector<DHtmlKeyMapEntry> OperatorKeyMap(CDHtmlDialog& window) {
    std::vector<DHtmlKeyMapEntry> map;
    for (const OperatorKey& key : kOperatorKeys) {
        std::vector<int> pages{IDR_HTML_TESSORA};
        if (key.onStrip) pages.push_back(IDR_HTML_MINI);
        map.push_back({QString::fromLatin1(key.chord), std::move(pages),
                       [&window, message = key.message, wParam = key.wParam] {
                           window.PostMessage(message, wParam,
                                              static_cast<LPARAM>(WriteOrigin::Key));
                       }});
    }
    return map;
}
