#pragma once

#include <cstdint>

// The window vocabulary the dialogs are written in: message parameters, rectangles,
// message-box flags and results, with the values the caption tools have always used.

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

inline constexpr unsigned WM_USER = 0x0400;

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Message-box buttons and icons (combinable: one button set, at most one icon).
inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned MB_OKCANCEL = 0x0001;
inline constexpr unsigned MB_YESNOCANCEL = 0x0003;
inline constexpr unsigned MB_YESNO = 0x0004;
inline constexpr unsigned MB_ICONSTOP = 0x0010;
inline constexpr unsigned MB_ICONQUESTION = 0x0020;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x0030;
inline constexpr unsigned MB_ICONINFORMATION = 0x0040;
inline constexpr unsigned MB_SYSTEMMODAL = 0x1000;
inline constexpr unsigned MB_TYPEMASK = 0x000F;
inline constexpr unsigned MB_ICONMASK = 0x00F0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Page host flags.
inline constexpr unsigned DOCHOSTUIFLAG_DIALOG = 0x1;
inline constexpr unsigned DOCHOSTUIFLAG_NO3DBORDER = 0x4;
inline constexpr unsigned DOCHOSTUIFLAG_SCROLL_NO = 0x8;

// Page event kinds and the DISPIDs of the events and properties the dialogs use.
inline constexpr int DHTMLEVENTMAPENTRY_NAME = 0;
inline constexpr int DHTMLEVENTMAPENTRY_ELEMENT = 3;
inline constexpr int DISPID_HTMLELEMENTEVENTS_ONCLICK = -600;
inline constexpr int DISPID_HTMLELEMENTEVENTS_ONMOUSEDOWN = -605;
inline constexpr int DISPID_HTMLELEMENTEVENTS_ONCHANGE = 1001;
inline constexpr int DISPID_IHTMLELEMENT_INNERTEXT = -2147417085;
inline constexpr int DISPID_A_VALUE = -2147413011;
