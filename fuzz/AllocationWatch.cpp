#include "AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSORA_WATCH_WITH_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TESSORA_WATCH_WITH_SANITIZER 1
#endif

namespace {

std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largest{0};

void Record(std::size_t size) {
    if (!g_watching.load(std::memory_order_relaxed)) return;
    std::size_t largest = g_largest.load(std::memory_order_relaxed);
    while (size > largest && !g_largest.compare_exchange_weak(largest, size)) {
    }
}

}  // namespace

#ifdef TESSORA_WATCH_WITH_SANITIZER

// The sanitizer's allocator reports every allocation, malloc and new alike, to these hooks.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

void OnMalloc(const volatile void*, std::size_t size) {
    Record(size);
}
void OnFree(const volatile void*) {}

void Install() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    if (!installed) std::abort();
}

}  // namespace

#else

// Without a sanitizer, the program's own operator new is the one place every C++ allocation
// passes through.
namespace {
void Install() {}
}  // namespace

void* operator new(std::size_t size) {
    Record(size);
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

#endif

CAllocationWatch::CAllocationWatch() {
    Install();
    g_largest = 0;
    g_watching = true;
}

CAllocationWatch::~CAllocationWatch() {
    g_watching = false;
}

std::size_t CAllocationWatch::Largest() const {
    return g_largest.load();
}
