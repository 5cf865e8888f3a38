#pragma once

#include <cstddef>

// Records the largest single heap allocation made while a watch is alive, so a harness can
// tell a loader that trusts an announced length from one that checks it first.
class CAllocationWatch {
public:
    CAllocationWatch();
    ~CAllocationWatch();
    CAllocationWatch(const CAllocationWatch&) = delete;
    CAllocationWatch& operator=(const CAllocationWatch&) = delete;

    std::size_t Largest() const;
};
