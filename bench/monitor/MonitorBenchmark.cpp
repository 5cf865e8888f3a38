// The window thread's work for one keystroke with the monitor open: the next Send composed
// again from the page's text and the window drawn afresh, on an off-screen display.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <ctime>
#include <string>

#include "MonitorWnd.h"

namespace {

// A full screen of wrapped words with both stamps: the most a keystroke can cost to lay out.
std::string FullScreenParagraph() {
    std::string text;
    while (text.size() < 17 * 52 + 200) text += "The quick brown fox jumps over the lazy dog. ";
    return text;
}

void BM_KeystrokeWithTheMonitorOpen(benchmark::State& state) {
    CMonitorWnd monitor(nullptr);
    monitor.show();
    // The whole window is drawn: more than a keystroke repaints, so an upper bound.
    QImage frame(monitor.sizeHint(), QImage::Format_RGB32);
    std::string text = FullScreenParagraph();
    std::time_t now = std::time(nullptr);
    for (auto _ : state) {
        // Each keystroke changes the text, so each frame differs from the last.
        text.back() = text.back() == 'x' ? 'y' : 'x';
        monitor.ShowNextSend(PreviewSend(text, 1, 4, ++now));
        monitor.render(&frame);
    }
}
BENCHMARK(BM_KeystrokeWithTheMonitorOpen)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
