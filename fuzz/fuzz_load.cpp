// Feeds arbitrary bytes to the document loader. Whatever the bytes, the loader must not crash,
// leak, or allocate more than the input holds; a failed load must leave the document alone;
// and an accepted file must save to bytes that load to the same document.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "AllocationWatch.h"
#include "Archive.h"
#include "Exceptions.h"
#include "MemFile.h"
#include "TessoraFile.h"

namespace {

// Room for fixed-size objects such as a thrown exception.
constexpr std::size_t kFixedAllocations = 512;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_load: %s\n", what);
    std::abort();
}

CTessoraFile Earlier() {
    CTessoraFile doc;
    doc.m_nTime1 = 3;
    doc.m_nDate4 = -1;
    doc.m_strText2 = "on air";
    return doc;
}

std::vector<unsigned char> Save(const CTessoraFile& doc) {
    CMemFile file;
    CArchive ar(file, CArchive::store);
    doc.Store(ar);
    ar.Close();
    return file.GetBytes();
}

bool Load(std::vector<unsigned char> bytes, CTessoraFile& doc) {
    CMemFile file(std::move(bytes));
    CArchive ar(file, CArchive::load);
    try {
        doc.Serialize(ar);
        return true;
    } catch (const CArchiveException&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CTessoraFile earlier = Earlier();
    CTessoraFile doc = earlier;
    std::vector<unsigned char> input(data, data + size);
    bool accepted = false;
    std::size_t largest = 0;
    {
        CAllocationWatch watch;
        accepted = Load(std::move(input), doc);
        largest = watch.Largest();
    }
    if (largest > size + kFixedAllocations) Fail("an allocation exceeded the input's size");
    if (!accepted) {
        if (doc != earlier) Fail("a failed load changed the document");
        return 0;
    }

    const auto saved = Save(doc);
    if (saved.size() > size) Fail("the saved form is longer than the file it came from");
    CTessoraFile reloaded;
    if (!Load(saved, reloaded) || reloaded != doc) {
        Fail("the saved form does not load to the same document");
    }
    if (Save(reloaded) != saved) Fail("saving the reloaded document gives other bytes");
    return 0;
}
