#include "TessoraFile.h"

#include <array>
#include <cassert>

#include "Archive.h"

namespace {

using CornerField = std::int32_t CTessoraFile::*;
using TextField = std::string CTessoraFile::*;

constexpr std::array<CornerField, CTessoraFile::kScreenCount> kTimeCorners = {
    &CTessoraFile::m_nTime1, &CTessoraFile::m_nTime2, &CTessoraFile::m_nTime3,
    &CTessoraFile::m_nTime4};
constexpr std::array<CornerField, CTessoraFile::kScreenCount> kDateCorners = {
    &CTessoraFile::m_nDate1, &CTessoraFile::m_nDate2, &CTessoraFile::m_nDate3,
    &CTessoraFile::m_nDate4};
constexpr std::array<TextField, CTessoraFile::kScreenCount> kTexts = {
    &CTessoraFile::m_strText1, &CTessoraFile::m_strText2, &CTessoraFile::m_strText3,
    &CTessoraFile::m_strText4};

bool IsScreen(int screen) {
    return screen >= 0 && screen < CTessoraFile::kScreenCount;
}

std::size_t Index(int screen) {
    assert(IsScreen(screen));
    return static_cast<std::size_t>(screen);
}

}  // namespace

void CTessoraFile::Reset() {
    for (int screen = 0; screen < kScreenCount; ++screen) {
        TimeCorner(screen) = 0;
        DateCorner(screen) = 0;
        Text(screen).clear();
    }
}

int CTessoraFile::GetTimeCorner(int screen) const {
    return IsScreen(screen) ? TimeCorner(screen) : 0;
}

int CTessoraFile::GetDateCorner(int screen) const {
    return IsScreen(screen) ? DateCorner(screen) : 0;
}

void CTessoraFile::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        Store(ar);
        return;
    }
    // Read into a fresh document that replaces this one only once every field has been read,
    // so a damaged file never leaves a mixture of two screen sets on air.
    CTessoraFile loaded;
    for (int screen = 0; screen < kScreenCount; ++screen) {
        ar >> loaded.TimeCorner(screen) >> loaded.DateCorner(screen) >> loaded.Text(screen);
    }
    *this = std::move(loaded);
}

void CTessoraFile::Store(CArchive& ar) const {
    for (int screen = 0; screen < kScreenCount; ++screen) {
        ar << TimeCorner(screen) << DateCorner(screen) << Text(screen);
    }
}

std::int32_t& CTessoraFile::TimeCorner(int screen) {
    return this->*kTimeCorners[Index(screen)];
}
std::int32_t& CTessoraFile::DateCorner(int screen) {
    return this->*kDateCorners[Index(screen)];
}
std::string& CTessoraFile::Text(int screen) {
    return this->*kTexts[Index(screen)];
}

const std::int32_t& CTessoraFile::TimeCorner(int screen) const {
    return this->*kTimeCorners[Index(screen)];
}
const std::int32_t& CTessoraFile::DateCorner(int screen) const {
    return this->*kDateCorners[Index(screen)];
}
const std::string& CTessoraFile::Text(int screen) const {
    return this->*kTexts[Index(screen)];
}
