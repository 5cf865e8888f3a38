#include "Desk.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <string>

#include "CueWnd.h"
#include "DHtmlDialog.h"
#include "DeskPlace.h"
#include "MainWindowFrame.h"
#include "MonitorWnd.h"
#include "SettingsStore.h"

namespace {

constexpr char kObjectName[] = "TessoraDesk";
constexpr const char* kGroups[] = {"Monitor", "Cues"};
// Without a screen nothing is in the way.
constexpr int kNoScreen = 1 << 20;
// A frame at least as large as most window managers give a tool window.
const QMargins kToolFrame(4, 32, 4, 8);

DeskRect ToDesk(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

QRect FromDesk(const DeskRect& r) {
    return {r.x, r.y, r.width, r.height};
}

DeskSize ToDesk(const QSize& s) {
    return {s.width(), s.height()};
}

std::string Key(CDesk::Tool tool, const char* name) {
    return std::string(kGroups[tool]) + "/" + name;
}

// The tool windows have no meta-object of their own: found by their C++ type.
template <typename Wnd>
Wnd* ToolWindow(CDHtmlDialog& window) {
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (auto* wnd = dynamic_cast<Wnd*>(child)) return wnd;
    return nullptr;
}

}  // namespace

CDesk::CDesk(CDHtmlDialog& window) : QObject(&window), m_window(window) {
    setObjectName(QString::fromLatin1(kObjectName));
}

CDesk& CDesk::Of(CDHtmlDialog& window) {
    for (QObject* child : window.children())
        if (auto* desk = dynamic_cast<CDesk*>(child)) return *desk;
    return *new CDesk(window);
}

QRect CDesk::Lay(Tool tool, const std::vector<QSize>& monitorSizes, const QSize& keptSize,
                 std::size_t* monitorSize, bool mainMayMove) {
    const MainWindowFrame main = FrameOfMainWindow(m_window);
    // The tools' frames will be the window manager's, as the main window's is; a window the
    // operator may size has a grip along its foot too.
    const QMargins frame(std::max(main.frame.left(), kToolFrame.left()),
                         std::max(main.frame.top(), kToolFrame.top()),
                         std::max(main.frame.right(), kToolFrame.right()),
                         std::max(main.frame.bottom(), kToolFrame.bottom()));
    const Spot& spot = m_spots[tool];
    const std::optional<QRect> kept =
        spot.at ? std::optional(QRect(spot.at->topLeft(), keptSize).marginsAdded(frame))
                : std::nullopt;

    const QScreen* screen = QGuiApplication::screenAt(kept ? kept->center() : main.outer.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    DeskIn in;
    in.free = screen ? ToDesk(screen->availableGeometry())
                     : DeskRect{-kNoScreen, -kNoScreen, 2 * kNoScreen, 2 * kNoScreen};
    in.main = ToDesk(main.outer);
    // A main window the operator moved since the desk last placed it stays.
    in.mainMayMove = mainMayMove && (!m_mainAt || *m_mainAt == main.outer.topLeft());
    for (const QSize& size : monitorSizes) in.monitor.sizes.push_back(ToDesk(size.grownBy(frame)));
    in.cues.sizes = {ToDesk(CCueWnd::NaturalSize().grownBy(frame)),
                     ToDesk(CCueWnd::SmallestSize().grownBy(frame))};

    // The other tool stays where it shows, or keeps the place it comes back to.
    const Tool other = tool == kMonitor ? kCues : kMonitor;
    const QWidget* otherWnd = other == kMonitor
                                  ? static_cast<QWidget*>(ToolWindow<CMonitorWnd>(m_window))
                                  : ToolWindow<CCueWnd>(m_window);
    std::optional<QRect> otherAt;
    if (otherWnd && otherWnd->isVisible())
        otherAt = otherWnd->frameGeometry() | otherWnd->geometry().marginsAdded(frame);
    else if (const Spot& o = m_spots[other]; o.at)
        otherAt = o.at->marginsAdded(frame);
    DeskTool& mine = tool == kMonitor ? in.monitor : in.cues;
    DeskTool& theirs = tool == kMonitor ? in.cues : in.monitor;
    if (kept) mine.kept = ToDesk(*kept);
    if (otherAt) theirs.kept = ToDesk(*otherAt);

    const DeskOut out = PlaceDesk(in);
    if (!(out.main == in.main)) MoveMainWindow(m_window, main, QPoint(out.main.x, out.main.y));
    // The strip's place is its own: it says nothing of where the main window stands.
    if (mainMayMove) m_mainAt = QPoint(out.main.x, out.main.y);
    *monitorSize = out.monitorSize;
    return FromDesk(tool == kMonitor ? out.monitor : out.cues).marginsRemoved(frame);
}

void CDesk::Place(CMonitorWnd& monitor, bool mainMayMove) {
    if (monitor.isVisible()) return;
    Spot& spot = m_spots[kMonitor];
    const std::vector<int> pixels = CMonitorWnd::FontSizes();
    const int keptPixels = spot.pixels > 0 ? spot.pixels : pixels.front();
    const std::vector<QSize> sizes = monitor.InnerSizes(pixels);
    monitor.SetGridPixels(keptPixels);
    std::size_t size = 0;
    const QRect at = Lay(kMonitor, sizes, monitor.sizeHint(), &size, mainMayMove);
    if (!spot.at) monitor.SetGridPixels(pixels[std::min(size, pixels.size() - 1)]);
    monitor.setGeometry(QRect(at.topLeft(), monitor.sizeHint()));
    spot.placed = monitor.geometry();
}

void CDesk::Place(CCueWnd& cues, bool mainMayMove) {
    if (cues.isVisible()) return;
    Spot& spot = m_spots[kCues];
    // Where the monitor is not made yet, one of its own measures its sizes.
    std::vector<QSize> sizes;
    const std::vector<int> pixels = CMonitorWnd::FontSizes();
    if (CMonitorWnd* monitor = ToolWindow<CMonitorWnd>(m_window))
        sizes = monitor->InnerSizes(pixels);
    else
        sizes = CMonitorWnd(nullptr).InnerSizes(pixels);
    std::size_t size = 0;
    const QSize keptSize = spot.at ? spot.at->size() : CCueWnd::NaturalSize();
    cues.setGeometry(Lay(kCues, sizes, keptSize, &size, mainMayMove));
    spot.placed = cues.geometry();
}

void CDesk::Remember(Tool tool, const QWidget& window) {
    Spot& spot = m_spots[tool];
    const QRect now = window.geometry();
    if (now != spot.placed) spot.byOperator = true;
    spot.at = now;
    spot.placed = now;
    if (const auto* monitor = dynamic_cast<const CMonitorWnd*>(&window))
        spot.pixels = monitor->GridPixels();
}

void CDesk::Hiding(Tool tool, const QWidget& window) {
    Remember(tool, window);
}

void CDesk::Load(Tool tool, const SettingsStore& store) {
    Spot& spot = m_spots[tool];
    // A place written before the desk told who chose it counts as the operator's.
    const std::optional<std::int32_t> byOperator = store.ReadInt32(Key(tool, "ByOperator").c_str());
    const std::optional<std::int32_t> x = store.ReadInt32(Key(tool, "X").c_str());
    const std::optional<std::int32_t> y = store.ReadInt32(Key(tool, "Y").c_str());
    if (!x || !y || byOperator.value_or(1) == 0) return;
    QSize size = tool == kCues ? CCueWnd::NaturalSize() : QSize();
    const std::optional<std::int32_t> width = store.ReadInt32(Key(tool, "Width").c_str());
    const std::optional<std::int32_t> height = store.ReadInt32(Key(tool, "Height").c_str());
    // A size too small to use is not the operator's choice.
    if (tool == kCues && width && height && *width >= CCueWnd::SmallestSize().width() &&
        *height >= CCueWnd::SmallestSize().height())
        size = QSize(*width, *height);
    if (tool == kMonitor)
        if (const std::optional<std::int32_t> pixels = store.ReadInt32("Monitor/FontPixels")) {
            const std::vector<int> fonts = CMonitorWnd::FontSizes();
            if (*pixels <= fonts.front() && *pixels >= fonts.back()) spot.pixels = *pixels;
        }
    spot.at = QRect(QPoint(*x, *y), size);
    spot.byOperator = true;
}

void CDesk::Save(Tool tool, SettingsStore& store, const QWidget* window) {
    if (window && window->isVisible()) Remember(tool, *window);
    const Spot& spot = m_spots[tool];
    store.WriteInt32(Key(tool, "ByOperator").c_str(), spot.byOperator ? 1 : 0);
    if (!spot.byOperator || !spot.at) return;
    store.WriteInt32(Key(tool, "X").c_str(), spot.at->x());
    store.WriteInt32(Key(tool, "Y").c_str(), spot.at->y());
    if (tool == kCues) {
        store.WriteInt32("Cues/Width", spot.at->width());
        store.WriteInt32("Cues/Height", spot.at->height());
    } else if (spot.pixels > 0) {
        store.WriteInt32("Monitor/FontPixels", spot.pixels);
    }
}
