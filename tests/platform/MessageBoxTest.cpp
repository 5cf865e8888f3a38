#include <gtest/gtest.h>

#include "MessageBox.h"

TEST(MessageBoxIcons, BoxesThatAskWarnUnlessGivenAnIcon) {
    struct Case {
        unsigned type;
        unsigned icon;
    };
    for (const Case c :
         {Case{MB_OK, MB_ICONEXCLAMATION}, Case{MB_OKCANCEL, MB_ICONEXCLAMATION},
          Case{MB_YESNO, MB_ICONEXCLAMATION}, Case{MB_YESNOCANCEL, MB_ICONEXCLAMATION},
          Case{MB_YESNO | MB_ICONSTOP, MB_ICONSTOP},
          Case{MB_OK | MB_ICONINFORMATION, MB_ICONINFORMATION},
          Case{0x0005 /* retry, cancel */, 0}})
        EXPECT_EQ(EffectiveMessageBoxIcon(c.type), c.icon) << c.type;
}

TEST(MessageBoxHook, AnswersInsteadOfAPerson) {
    std::string seen;
    SetMessageBoxHook([&](const std::string& text, unsigned, const std::string&) {
        seen = text;
        return IDNO;
    });
    EXPECT_EQ(AfxMessageBox("Save changes to the current file?", MB_YESNO), IDNO);
    EXPECT_EQ(seen, "Save changes to the current file?");
    SetMessageBoxHook({});
}
