#include <benchmark/benchmark.h>

#include <string>

#include "Stamps.h"
#include "TextLayout.h"

namespace {

// Seventeen lines of 51 bytes: every row filled, no breaking.
std::string FullScreenOfLines() {
    std::string text;
    for (int row = 0; row < 17; ++row) {
        if (row) text.push_back('\n');
        for (int i = 0; i < 51; ++i)
            text.push_back(i % 6 == 5 ? ' ' : static_cast<char>('a' + row));
    }
    return text;
}

// One paragraph that word-wraps across all 17 rows and runs over.
std::string FullScreenParagraph() {
    std::string text;
    while (text.size() < 17 * 52 + 200) text += "The quick brown fox jumps over the lazy dog. ";
    return text;
}

void BM_LayOutFullScreenOfLines(benchmark::State& state) {
    const std::string text = FullScreenOfLines();
    for (auto _ : state) benchmark::DoNotOptimize(LayOutText(text, 0, 0));
}
BENCHMARK(BM_LayOutFullScreenOfLines);

void BM_LayOutWrappedFullScreen(benchmark::State& state) {
    const std::string text = FullScreenParagraph();
    for (auto _ : state) benchmark::DoNotOptimize(LayOutText(text, 0, 0));
}
BENCHMARK(BM_LayOutWrappedFullScreen);

void BM_ComposeSharedStamps(benchmark::State& state) {
    const std::time_t now = 1796738709;
    for (auto _ : state) benchmark::DoNotOptimize(ComposeStamps(2, 2, now));
}
BENCHMARK(BM_ComposeSharedStamps);

}  // namespace
