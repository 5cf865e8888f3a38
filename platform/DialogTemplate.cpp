#include "DialogTemplate.h"

#include <array>

namespace {

constexpr std::array kTemplates{
    DialogTemplate{IDD_TESSORA_DIALOG, "Tessora", 433, 309, true},
    DialogTemplate{IDD_SETUP, "Dialog", 284, 161, false},
};

int roundedDiv(int numerator, int denominator) {
    return (numerator + denominator / 2) / denominator;
}

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : kTemplates)
        if (t.id == id) return &t;
    return nullptr;
}

QSize DialogUnitsToPixels(int widthDlu, int heightDlu) {
    return {roundedDiv(widthDlu * 6, 4), roundedDiv(heightDlu * 13, 8)};
}
