// Save and load of a full screen set: four screens of 64 KiB text each, in memory (the format
// and archive alone) and on disk (with the durable replace of a save).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "Archive.h"
#include "DocumentFile.h"
#include "MemFile.h"

namespace {

CTessoraFile FourFullScreens() {
    CTessoraFile doc;
    for (int screen = 0; screen < CTessoraFile::kScreenCount; ++screen) {
        std::string& text = doc.Text(screen);
        text.resize(64 * 1024);
        for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('A' + i % 26);
        doc.TimeCorner(screen) = screen;
    }
    return doc;
}

std::vector<unsigned char> SaveToMemory(const CTessoraFile& doc) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    doc.Store(ar);
    ar.Close();
    return file.GetBytes();
}

class TempFolder {
public:
    TempFolder() {
        char pattern[] = "/tmp/bench-document-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) std::abort();
        path = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void BM_SaveToMemory(benchmark::State& state) {
    const CTessoraFile doc = FourFullScreens();
    std::size_t size = 0;
    for (auto _ : state) {
        const auto bytes = SaveToMemory(doc);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_SaveToMemory);

void BM_LoadFromMemory(benchmark::State& state) {
    const auto bytes = SaveToMemory(FourFullScreens());
    for (auto _ : state) {
        CMemFile file(bytes);
        CArchive ar(file, CArchive::load);
        CTessoraFile doc;
        doc.Serialize(ar);
        benchmark::DoNotOptimize(doc.m_strText4.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_LoadFromMemory);

void BM_SaveDocument(benchmark::State& state) {
    const CTessoraFile doc = FourFullScreens();
    const TempFolder folder;
    const std::string path = (folder.path / "show.tso").string();
    for (auto _ : state) {
        if (!SaveDocument(doc, path)) state.SkipWithError("could not save");
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_SaveDocument)->UseRealTime();

void BM_LoadDocument(benchmark::State& state) {
    const TempFolder folder;
    const std::string path = (folder.path / "show.tso").string();
    if (!SaveDocument(FourFullScreens(), path)) std::abort();
    for (auto _ : state) {
        CTessoraFile doc;
        if (!LoadDocument(path, doc)) state.SkipWithError("could not load");
        benchmark::DoNotOptimize(doc.m_strText4.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(path)));
}
BENCHMARK(BM_LoadDocument)->UseRealTime();

}  // namespace
