#pragma once

#include <ostream>

#include "TessoraFile.h"

// Failure messages show corners and the start of each text, not kilobytes of it.
inline void PrintTo(const CTessoraFile& doc, std::ostream* out) {
    for (int screen = 0; screen < CTessoraFile::kScreenCount; ++screen) {
        const std::string& text = doc.Text(screen);
        *out << "{" << doc.TimeCorner(screen) << ", " << doc.DateCorner(screen) << ", "
             << text.size() << " bytes \"" << text.substr(0, 16) << "\"} ";
    }
}
