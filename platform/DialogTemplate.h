#pragma once

#include <QSize>
#include <QString>

// The dialog frames the program carries: caption, client size in dialog units, and style.
struct DialogTemplate {
    int id;
    const char* caption;
    int widthDlu;
    int heightDlu;
    bool topmost;  // stays above other windows, with its own taskbar entry
};

inline constexpr int IDD_TESSORA_DIALOG = 102;
inline constexpr int IDD_SETUP = 152;

// The pages carried as resources, served as res://Tessora.exe/<id>.
inline constexpr int IDR_HTML_SETUP = 103;
inline constexpr int IDR_HTML_TESSORA = 104;
inline constexpr int IDR_HTML_MINI = 157;

// The template with this id, or null.
const DialogTemplate* FindDialogTemplate(int id);

// Dialog units of the 8-point dialog font (6 x 13 pixel base units) in pixels.
QSize DialogUnitsToPixels(int widthDlu, int heightDlu);
