#pragma once

#include <cstdint>
#include <string>

class CArchive;

// The screen set: four screens, each with a time corner, a date corner and a text of
// Windows-1252 bytes. Fields are in file order. Corners hold any 32-bit value unchanged;
// what a value outside 0 to 4 means is for the window and the stamps to say.
class CTessoraFile {
public:
    static constexpr int kScreenCount = 4;

    CTessoraFile() = default;

    // Every corner 0, every text empty.
    void Reset();

    // The corner of screen 0 to 3; 0 for any other index.
    int GetTimeCorner(int screen) const;
    int GetDateCorner(int screen) const;

    // Writes to a storing archive or reads from a loading one. A load that fails leaves this
    // document exactly as it was.
    void Serialize(CArchive& ar);
    // Serialize for a storing archive, usable on a document that may not change.
    void Store(CArchive& ar) const;

    // One screen's record by index; the index must be 0 to 3.
    std::int32_t& TimeCorner(int screen);
    std::int32_t& DateCorner(int screen);
    std::string& Text(int screen);
    const std::int32_t& TimeCorner(int screen) const;
    const std::int32_t& DateCorner(int screen) const;
    const std::string& Text(int screen) const;

    bool operator==(const CTessoraFile&) const = default;

    std::int32_t m_nTime1 = 0;
    std::int32_t m_nDate1 = 0;
    std::string m_strText1;
    std::int32_t m_nTime2 = 0;
    std::int32_t m_nDate2 = 0;
    std::string m_strText2;
    std::int32_t m_nTime3 = 0;
    std::int32_t m_nDate3 = 0;
    std::string m_strText3;
    std::int32_t m_nTime4 = 0;
    std::int32_t m_nDate4 = 0;
    std::string m_strText4;
};
