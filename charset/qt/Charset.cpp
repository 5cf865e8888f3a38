#include "Charset.h"

#include "Cp1252.h"

QString FromAnsi(std::string_view ansi) {
    const std::u16string wide = Utf16FromCp1252(ansi);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string ToAnsi(const QString& text) {
    // Composed first: "e" and a combining acute are one character, which Windows-1252 has.
    const QString composed = text.normalized(QString::NormalizationForm_C);
    return Cp1252FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(composed.utf16()),
                                               static_cast<std::size_t>(composed.size())));
}

std::string AnsiFromUtf8(std::string_view utf8) {
    return ToAnsi(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}
