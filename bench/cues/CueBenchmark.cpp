#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "CueDeck.h"
#include "StandInSession.h"

namespace {

constexpr int kRows = 10000;

// A people list as a show's lower thirds: with a Text of its own, or only Name and Title.
std::vector<Cue> List(bool withText) {
    std::string csv = withText ? "Text,Name,Title\n" : "Name,Title\n";
    for (int row = 1; row <= kRows; ++row) {
        const std::string name = "Person " + std::to_string(row);
        if (withText) csv += "\"" + name + "\nHead of department " + std::to_string(row) + "\",";
        csv += name + ",Head of department " + std::to_string(row) + "\n";
    }
    return ReadCueList(csv, Cp1252FromUtf8, withText).cues;
}

void Take(benchmark::State& state, bool throughTemplate) {
    StandInSession session;
    session.state.screens[2] = ScreenContent{"{Name}\n{Title}", 0, 2};
    CueDeck deck(session);
    deck.SetLoop(true);
    deck.Replace("/people.csv", List(!throughTemplate), false);
    if (throughTemplate) deck.SetTemplate(3);
    for (auto _ : state) benchmark::DoNotOptimize(deck.TakeNext());
}

void BM_TakePlainCue(benchmark::State& state) {
    Take(state, false);
}
BENCHMARK(BM_TakePlainCue);

void BM_TakeThroughTemplate(benchmark::State& state) {
    Take(state, true);
}
BENCHMARK(BM_TakeThroughTemplate);

// A change of the template heard, and every row filled again with its marks, as a window
// showing all of them at once would.
void BM_RefillAfterTemplateChange(benchmark::State& state) {
    StandInSession session;
    CueDeck deck(session);
    deck.Replace("/people.csv", List(false), false);
    deck.SetTemplate(3);
    bool other = false;
    for (auto _ : state) {
        other = !other;
        session.state.screens[2] =
            ScreenContent{other ? "{Title}: {Name}" : "{Name}\n{Title}", 0, 2};
        session.Changed();
        std::size_t bytes = 0;
        for (int number = 1; number <= kRows; ++number)
            bytes += deck.Filled(number).content.text.size();
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_RefillAfterTemplateChange)->Unit(benchmark::kMillisecond);

}  // namespace
