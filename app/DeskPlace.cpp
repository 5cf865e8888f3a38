#include "DeskPlace.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

constexpr int kGap = 8;

struct Plan {
    DeskRect main;
    DeskRect monitor;
    std::size_t monitorSize = 0;
    DeskRect cues;
    bool panel = false;
};

DeskRect At(int x, int y, DeskSize size) {
    return {x, y, size.width, size.height};
}

DeskRect PulledOnto(const DeskRect& free, DeskRect rect) {
    rect.x = std::clamp(rect.x, free.x, std::max(free.x, free.Right() - rect.width));
    rect.y = std::clamp(rect.y, free.y, std::max(free.y, free.Bottom() - rect.height));
    return rect;
}

bool Fits(const DeskRect& free, DeskSize size) {
    return size.width <= free.width && size.height <= free.height;
}

// The main window, and the monitor then the cue list beside it in a row at its height.
std::optional<Plan> Row(const DeskIn& in, bool mainMayMove) {
    const DeskRect& free = in.free;
    const std::vector<DeskSize>& sizes = in.monitor.sizes;
    const auto first =
        std::find_if(sizes.begin(), sizes.end(), [&](DeskSize s) { return Fits(free, s); });
    const DeskSize cue = in.cues.sizes.front();
    if (first == sizes.end() || !Fits(free, cue)) return std::nullopt;
    const DeskSize monitor = *first;
    const int tools = kGap + monitor.width + kGap + cue.width;
    if (in.main.width + tools > free.width) return std::nullopt;

    Plan plan;
    plan.monitorSize = static_cast<std::size_t>(first - sizes.begin());
    plan.main = in.main;
    if (mainMayMove) {
        plan.main = PulledOnto(free, plan.main);
        plan.main.x = std::min(plan.main.x, free.Right() - in.main.width - tools);
    }
    const DeskRect& main = plan.main;
    const auto y = [&](DeskSize s) { return std::clamp(main.y, free.y, free.Bottom() - s.height); };
    if (main.Right() + tools <= free.Right()) {
        plan.monitor = At(main.Right() + kGap, y(monitor), monitor);
        plan.cues = At(plan.monitor.Right() + kGap, y(cue), cue);
    } else if (main.x - tools >= free.x) {
        plan.monitor = At(main.x - kGap - monitor.width, y(monitor), monitor);
        plan.cues = At(plan.monitor.x - kGap - cue.width, y(cue), cue);
    } else {
        return std::nullopt;
    }
    return plan;
}

// One panel the screen's height beside the main window: the monitor above the cue list.
std::optional<Plan> Panel(const DeskIn& in, bool mainMayMove) {
    const DeskRect& free = in.free;
    const DeskSize natural = in.cues.sizes.front();
    const DeskSize smallest = in.cues.sizes.back();
    Plan plan;
    plan.panel = true;
    plan.main = mainMayMove ? PulledOnto(free, in.main) : in.main;
    DeskRect& main = plan.main;
    const int right = free.Right() - main.Right() - kGap;
    const int left = main.x - free.x - kGap;
    const int room = mainMayMove ? free.width - main.width - kGap : std::max(right, left);
    if (room < smallest.width) return std::nullopt;

    const std::vector<DeskSize>& sizes = in.monitor.sizes;
    const auto fitting = std::find_if(sizes.begin(), sizes.end(), [&](DeskSize s) {
        return s.width <= room && s.height + kGap + smallest.height <= free.height;
    });
    if (fitting == sizes.end()) return std::nullopt;
    plan.monitorSize = static_cast<std::size_t>(fitting - sizes.begin());
    const DeskSize monitor = *fitting;
    const int width = std::min(room, std::max({monitor.width, natural.width, smallest.width}));
    if (mainMayMove) main.x = std::min(main.x, free.Right() - main.width - kGap - width);
    const int x =
        main.Right() + kGap + width <= free.Right() ? main.Right() + kGap : main.x - kGap - width;
    plan.monitor = At(x, free.y, monitor);
    plan.cues = {x, plan.monitor.Bottom() + kGap, width,
                 free.Bottom() - plan.monitor.Bottom() - kGap};
    return plan;
}

// A screen too short for the panel: the cue list under the main window, as wide, down to the
// screen's foot, and the monitor beside the main window.
std::optional<Plan> Under(const DeskIn& in, bool mainMayMove) {
    const DeskRect& free = in.free;
    const DeskSize smallest = in.cues.sizes.back();
    Plan plan;
    plan.panel = true;
    plan.main = in.main;
    DeskRect& main = plan.main;
    if (mainMayMove) main = PulledOnto(free, At(main.x, free.y, main.Size()));
    const int below = free.Bottom() - main.Bottom() - kGap;
    const int width = std::max(main.width, smallest.width);
    if (below < smallest.height || width > free.width) return std::nullopt;
    const int right = free.Right() - std::max(main.Right(), main.x + width) - kGap;
    const int left = main.x - free.x - kGap;
    const int room = mainMayMove ? free.width - width - kGap : std::max(right, left);

    const std::vector<DeskSize>& sizes = in.monitor.sizes;
    const auto fitting = std::find_if(sizes.begin(), sizes.end(), [&](DeskSize s) {
        return s.width <= room && s.height <= free.height;
    });
    if (fitting == sizes.end()) return std::nullopt;
    plan.monitorSize = static_cast<std::size_t>(fitting - sizes.begin());
    const DeskSize monitor = *fitting;
    if (mainMayMove) main.x = std::min(main.x, free.Right() - width - kGap - monitor.width);
    plan.cues = {main.x, main.Bottom() + kGap, width, free.Bottom() - main.Bottom() - kGap};
    const int x = std::max(main.Right(), plan.cues.Right()) + kGap + monitor.width <= free.Right()
                      ? std::max(main.Right(), plan.cues.Right()) + kGap
                      : main.x - kGap - monitor.width;
    plan.monitor = At(x, std::clamp(main.y, free.y, free.Bottom() - monitor.height), monitor);
    return plan;
}

// A screen too small for the main window and the smallest panel: the smallest tools at the
// screen's right edge, the monitor above the cue list, over whatever is there.
Plan Cramped(const DeskIn& in, bool mainMayMove) {
    const DeskRect& free = in.free;
    Plan plan;
    plan.panel = true;
    plan.main = mainMayMove ? PulledOnto(free, in.main) : in.main;
    plan.monitorSize = in.monitor.sizes.size() - 1;
    const DeskSize monitor = in.monitor.sizes.back();
    const DeskSize cue = in.cues.sizes.back();
    plan.monitor = PulledOnto(free, At(free.Right() - monitor.width, free.y, monitor));
    plan.cues = PulledOnto(free, At(free.Right() - cue.width, plan.monitor.Bottom() + kGap, cue));
    return plan;
}

// The arrangements the screen allows, the best first: the row; of the two panels the one with
// the larger monitor, then with more room for the list; the other; the cramped one last.
std::vector<Plan> Plans(const DeskIn& in, bool mainMayMove) {
    std::vector<Plan> plans;
    if (std::optional<Plan> row = Row(in, mainMayMove)) plans.push_back(*row);
    std::optional<Plan> panel = Panel(in, mainMayMove);
    std::optional<Plan> under = Under(in, mainMayMove);
    const auto area = [](const DeskRect& r) { return static_cast<long long>(r.width) * r.height; };
    if (panel && under &&
        std::pair(under->monitorSize, -area(under->cues)) <
            std::pair(panel->monitorSize, -area(panel->cues)))
        std::swap(panel, under);
    for (const std::optional<Plan>& plan : {panel, under})
        if (plan) plans.push_back(*plan);
    plans.push_back(Cramped(in, mainMayMove));
    return plans;
}

bool Clear(const DeskRect& rect, const std::vector<DeskRect>& taken) {
    return std::none_of(taken.begin(), taken.end(),
                        [&](const DeskRect& t) { return Overlap(rect, t); });
}

// The slot itself when nothing taken is in it; else the free place nearest to it, at the
// slot's size or a smaller one offered; the slot when there is none.
DeskRect Around(const DeskRect& free, const DeskRect& slot, const std::vector<DeskSize>& sizes,
                const std::vector<DeskRect>& taken, std::size_t* size) {
    if (Clear(slot, taken)) return slot;
    for (std::size_t i = *size; i < sizes.size(); ++i) {
        const DeskSize s = i == *size ? slot.Size() : sizes[i];
        if (!Fits(free, s)) continue;
        // A free place touches the screen's edge or a taken rectangle on each axis.
        std::vector<int> xs{free.x, free.Right() - s.width};
        std::vector<int> ys{free.y, free.Bottom() - s.height};
        for (const DeskRect& t : taken) {
            xs.insert(xs.end(), {t.Right() + kGap, t.x - kGap - s.width});
            ys.insert(ys.end(), {t.Bottom() + kGap, t.y - kGap - s.height, t.y});
        }
        std::optional<DeskRect> best;
        long long bestDistance = std::numeric_limits<long long>::max();
        for (const int x : xs)
            for (const int y : ys) {
                const DeskRect at = At(x, y, s);
                if (!Within(free, at) || !Clear(at, taken)) continue;
                const long long distance =
                    std::llabs(static_cast<long long>(x) - slot.x) + std::llabs(y - slot.y);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = at;
                }
            }
        if (best) {
            *size = i;
            return *best;
        }
    }
    return slot;
}

}  // namespace

bool Overlap(const DeskRect& a, const DeskRect& b) {
    return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

bool Within(const DeskRect& outer, const DeskRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

DeskOut PlaceDesk(const DeskIn& in) {
    if (in.monitor.sizes.empty() || in.cues.sizes.empty()) return {in.main, {}, 0, {}, false};
    std::optional<DeskRect> monitorKept, cuesKept;
    if (in.monitor.kept) monitorKept = PulledOnto(in.free, *in.monitor.kept);
    if (in.cues.kept) cuesKept = PulledOnto(in.free, *in.cues.kept);

    // The tools that stay as they are; the others go round them and the main window.
    const auto finish = [&](const Plan& plan) {
        DeskOut out{plan.main, plan.monitor, plan.monitorSize, plan.cues, plan.panel};
        if (monitorKept) {
            out.monitor = *monitorKept;
        } else {
            std::vector<DeskRect> taken{out.main};
            if (cuesKept) taken.push_back(*cuesKept);
            out.monitor = Around(in.free, plan.monitor, in.monitor.sizes, taken, &out.monitorSize);
        }
        if (cuesKept) {
            out.cues = *cuesKept;
        } else {
            std::size_t size = 0;
            out.cues = Around(in.free, plan.cues, in.cues.sizes, {out.main, out.monitor}, &size);
        }
        return out;
    };
    // The main window, where it steps aside, covers no tool that stays.
    const auto mainClear = [&](const DeskOut& out) {
        return out.main == in.main || !((monitorKept && Overlap(out.main, *monitorKept)) ||
                                        (cuesKept && Overlap(out.main, *cuesKept)));
    };
    // Apart: besides, each tool placed lies on the screen clear of the others. What the
    // operator put over another stays there.
    const auto apart = [&](const DeskOut& out) {
        if (!mainClear(out)) return false;
        if (!monitorKept && (!Within(in.free, out.monitor) || Overlap(out.monitor, out.main) ||
                             Overlap(out.monitor, out.cues)))
            return false;
        return cuesKept || (Within(in.free, out.cues) && !Overlap(out.cues, out.main) &&
                            !Overlap(out.cues, out.monitor));
    };
    std::optional<DeskOut> first;
    for (const bool mainMayMove : {in.mainMayMove, false}) {
        for (const Plan& plan : Plans(in, mainMayMove)) {
            const DeskOut out = finish(plan);
            if (apart(out)) return out;
            if (!first && mainClear(out)) first = out;
        }
        if (!in.mainMayMove) break;
    }
    return *first;
}
