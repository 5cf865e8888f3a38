#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <optional>
#include <vector>

class CDHtmlDialog;
class CMonitorWnd;
class CCueWnd;
class SettingsStore;
class QWidget;

// The desk: where the monitor (F2) and the cue list (F3) stand beside the main window, and
// what the operator did with them. A window the operator moved or resized stays there and is
// kept in the settings; a tool closed and opened again comes back where it was; only a window
// nobody placed is put where PlaceDesk finds room. One per main window, its child.
class CDesk : public QObject {
public:
    enum Tool { kMonitor, kCues };

    static CDesk& Of(CDHtmlDialog& window);

    // Moves the tool's window to its place before it shows; nothing while it shows. The main
    // window steps aside for it when mainMayMove (not the strip) and the operator has not
    // moved it since the desk last did.
    void Place(CMonitorWnd& monitor, bool mainMayMove);
    void Place(CCueWnd& cues, bool mainMayMove);
    // As the tool's window hides: where it stands is where it comes back.
    void Hiding(Tool tool, const QWidget& window);

    // The settings group's place keys (Monitor or Cues); a place is written only where the
    // operator put the window.
    void Load(Tool tool, const SettingsStore& store);
    void Save(Tool tool, SettingsStore& store, const QWidget* window);

private:
    explicit CDesk(CDHtmlDialog& window);

    struct Spot {
        std::optional<QRect> at;  // inner rectangle to come back to
        int pixels = 0;           // the monitor's grid font there (0: its natural one)
        QRect placed;             // where the desk put it last
        bool byOperator = false;
    };
    // Lays the desk out for the tool, moving the main window if it must; returns the tool's
    // outer rectangle and, for the monitor, which of its outer sizes it takes. keptSize is
    // the tool's outer size where it comes back to a place.
    QRect Lay(Tool tool, const std::vector<QSize>& monitorSizes, const QSize& keptSize,
              std::size_t* monitorSize, bool mainMayMove);
    void Remember(Tool tool, const QWidget& window);

    CDHtmlDialog& m_window;
    Spot m_spots[2];
    std::optional<QPoint> m_mainAt;  // the main window's outer top left as the desk left it
};
