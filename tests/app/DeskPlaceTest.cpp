#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DeskPlace.h"

namespace {

// The windows' outer sizes as the program measures them, frames at their most generous: the
// main window, the monitor at each grid font (with a note under its grid) and the cue list at
// its natural and smallest size.
const DeskSize kMain{658, 544};
const std::vector<DeskSize> kMonitor{{473, 690}, {419, 648}};
// A fixed font of larger natural size: more steps down to the legible one.
const std::vector<DeskSize> kLargeMonitor{{640, 900}, {600, 840}, {560, 790},
                                          {520, 730}, {473, 690}, {419, 648}};
const std::vector<DeskSize> kCues{{568, 460}, {368, 140}};

struct Screen {
    int width;
    int height;
    int scale;
};

const Screen kScreens[] = {{1280, 720, 1},  {1366, 768, 1},  {1600, 900, 1},  {1920, 1080, 1},
                           {2560, 1440, 1}, {3840, 2160, 1}, {2560, 1440, 2}, {3840, 2160, 2}};

std::string Name(const DeskRect& r) {
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

// The main window where a window manager first puts it: centred, or at the top left.
std::vector<DeskRect> MainPlaces(const DeskRect& free) {
    return {{free.x + (free.width - kMain.width) / 2, free.y + (free.height - kMain.height) / 2,
             kMain.width, kMain.height},
            {free.x, free.y, kMain.width, kMain.height}};
}

void ExpectApart(const DeskRect& free, const DeskOut& out, const std::string& where) {
    for (const auto& [name, rect] : {std::pair{"main", out.main}, std::pair{"monitor", out.monitor},
                                     std::pair{"cues", out.cues}})
        EXPECT_TRUE(Within(free, rect)) << where << ": " << name << " " << Name(rect);
    EXPECT_FALSE(Overlap(out.main, out.monitor)) << where << ": monitor " << Name(out.monitor);
    EXPECT_FALSE(Overlap(out.main, out.cues)) << where << ": cues " << Name(out.cues);
    EXPECT_FALSE(Overlap(out.monitor, out.cues))
        << where << ": monitor " << Name(out.monitor) << ", cues " << Name(out.cues);
}

DeskIn Desk(const DeskRect& free, const DeskRect& main, const std::vector<DeskSize>& monitor) {
    DeskIn in;
    in.free = free;
    in.main = main;
    in.mainMayMove = true;
    in.monitor.sizes = monitor;
    in.cues.sizes = kCues;
    return in;
}

}  // namespace

// Every screen of the table, whichever tool opens first: the three windows lie wholly on the
// screen and none covers another; the second tool finds the place the first left it.
TEST(DeskPlace, EveryScreenHoldsTheDeskApart) {
    for (const Screen& screen : kScreens)
        for (const std::vector<DeskSize>& monitor : {kMonitor, kLargeMonitor}) {
            // A panel along the top, as desktops have.
            const DeskRect free{0, 28, screen.width / screen.scale,
                                screen.height / screen.scale - 28};
            for (const DeskRect& main : MainPlaces(free)) {
                const std::string where = std::to_string(screen.width) + "x" +
                                          std::to_string(screen.height) + " at " +
                                          std::to_string(screen.scale) + ", main " + Name(main);
                const DeskOut first = PlaceDesk(Desk(free, main, monitor));
                ExpectApart(free, first, where);
                EXPECT_LT(first.monitorSize, monitor.size()) << where;
                EXPECT_GE(first.cues.width, kCues.back().width) << where;
                EXPECT_GE(first.cues.height, kCues.back().height) << where;

                // The monitor shows where it went; the cue list opens after it.
                DeskIn second = Desk(free, first.main, monitor);
                second.monitor.kept = first.monitor;
                const DeskOut then = PlaceDesk(second);
                EXPECT_EQ(then.main, first.main) << where;
                EXPECT_EQ(then.monitor, first.monitor) << where;
                EXPECT_EQ(then.cues, first.cues) << where;
            }
        }
}

TEST(DeskPlace, ScreensWithRoomSideBySideElseOnePanel) {
    const struct {
        DeskRect free;
        bool panel;
    } cases[] = {
        {{0, 0, 1920, 1080}, false}, {{0, 0, 2560, 1440}, false}, {{0, 0, 1600, 900}, true},
        {{0, 0, 1366, 768}, true},   {{0, 0, 1280, 720}, true},
    };
    for (const auto& c : cases) {
        const DeskOut out = PlaceDesk(Desk(c.free, MainPlaces(c.free)[0], kMonitor));
        EXPECT_EQ(out.panel, c.panel) << Name(c.free);
        if (!c.panel) {
            // As large as they come, at the main window's height.
            EXPECT_EQ(out.monitorSize, 0u);
            EXPECT_EQ(out.cues.Size().width, kCues.front().width);
            EXPECT_EQ(out.monitor.y, out.main.y);
        }
    }
    // A tall screen too narrow for the row, the main window low and staying: the monitor at
    // its full size above the list beside it.
    DeskIn low = Desk({0, 0, 1600, 1200}, {400, 600, 658, 544}, kMonitor);
    low.mainMayMove = false;
    const DeskOut tall = PlaceDesk(low);
    EXPECT_EQ(tall.main, low.main);
    EXPECT_TRUE(tall.panel);
    EXPECT_EQ(tall.monitorSize, 0u);
    EXPECT_EQ(tall.cues.x, tall.monitor.x);
    EXPECT_GT(tall.cues.y, tall.monitor.Bottom());
    // Narrower still: the monitor's font steps down until the panel fits beside the window.
    const DeskOut narrow = PlaceDesk(Desk({0, 0, 1120, 1200}, {400, 300, 658, 544}, kLargeMonitor));
    EXPECT_TRUE(narrow.panel);
    EXPECT_EQ(narrow.monitorSize, 5u);
    ExpectApart({0, 0, 1120, 1200}, narrow, "1120x1200");
}

// The operator's places and the strip are kept; the desk goes round them.
TEST(DeskPlace, KeptWindowsStayAndTheRestGoesRound) {
    const DeskRect free{0, 0, 1366, 768};
    const DeskRect main{354, 112, 658, 544};

    // The monitor where the operator put it, over the cue list's usual place.
    DeskIn in = Desk(free, main, kMonitor);
    const DeskOut usual = PlaceDesk(in);
    in.monitor.kept = DeskRect{usual.cues.x, 768 - 690, 473, 690};
    DeskOut out = PlaceDesk(in);
    EXPECT_EQ(out.monitor, *in.monitor.kept);
    EXPECT_FALSE(Overlap(out.cues, out.monitor)) << Name(out.cues);
    EXPECT_TRUE(Within(free, out.cues)) << Name(out.cues);

    // A kept place partly off the screen (another display set-up) is pulled back onto it.
    in.monitor.kept = DeskRect{1200, -40, 473, 690};
    out = PlaceDesk(in);
    EXPECT_EQ(out.monitor, (DeskRect{1366 - 473, 0, 473, 690}));

    // The strip stays where it is, even where the tools then have little room.
    DeskIn strip = Desk(free, {600, 300, 108, 78}, kMonitor);
    strip.mainMayMove = false;
    out = PlaceDesk(strip);
    EXPECT_EQ(out.main, strip.main);
    ExpectApart(free, out, "beside the strip");

    // A main window that would step onto a kept tool stays where it is.
    DeskIn fixed = Desk(free, {400, 112, 658, 544}, kMonitor);
    fixed.cues.kept = DeskRect{0, 0, 368, 140};
    out = PlaceDesk(fixed);
    EXPECT_EQ(out.main, fixed.main);
    EXPECT_FALSE(Overlap(out.monitor, *fixed.cues.kept)) << Name(out.monitor);
}

// Screens smaller than the main window itself (1280 x 720 and smaller at twice the scale):
// nothing can stand apart there; the tools at their smallest start on the screen, at its
// right edge.
TEST(DeskPlace, ScreensSmallerThanTheMainWindowKeepTheToolsOnThem) {
    for (const DeskRect& free :
         {DeskRect{0, 0, 640, 360}, DeskRect{0, 0, 683, 384}, DeskRect{0, 0, 960, 540}}) {
        const DeskOut out = PlaceDesk(Desk(free, {0, 0, 658, 544}, kMonitor));
        EXPECT_EQ(out.monitorSize, kMonitor.size() - 1) << Name(free);
        EXPECT_EQ(out.monitor.x, std::max(0, free.width - 419)) << Name(free);
        EXPECT_GE(out.cues.x, 0) << Name(free);
        EXPECT_GE(out.cues.y, 0) << Name(free);
        EXPECT_EQ(out.main.x, 0);
    }
}
