#include "MessageBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>

#include "Charset.h"

namespace {

MessageBoxHook& hook() {
    static MessageBoxHook h;
    return h;
}

QMessageBox::Icon qtIcon(unsigned icon) {
    switch (icon) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// A box whose buttons all answer something: with Yes and No and no Cancel, Escape and the
// close button would otherwise answer No, and a No can throw the operator's text away.
class AnswerBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool m_bMustAnswer = false;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (m_bMustAnswer && e->matches(QKeySequence::Cancel)) {
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (m_bMustAnswer) {
            e->ignore();
            return;
        }
        QMessageBox::closeEvent(e);
    }
};

}  // namespace

void SetMessageBoxHook(MessageBoxHook h) {
    hook() = std::move(h);
}

unsigned EffectiveMessageBoxIcon(unsigned type) {
    const unsigned icon = type & MB_ICONMASK;
    if (icon != 0) return icon;
    switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return MB_ICONEXCLAMATION;
        default:
            return 0;
    }
}

int AfxMessageBox(const std::string& text, unsigned type, const std::string& detail) {
    if (hook()) return hook()(text, type, detail);

    AnswerBox box(qtIcon(EffectiveMessageBoxIcon(type)), QString::fromLatin1(kApplicationName),
                  FromAnsi(text), QMessageBox::NoButton, QApplication::activeWindow());
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (type & MB_SYSTEMMODAL) box.setWindowModality(Qt::ApplicationModal);
    // Behind the box's "Show Details..." button; the box's own text stays as it is.
    if (!detail.empty()) box.setDetailedText(QString::fromUtf8(detail));
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.m_bMustAnswer = true;
            break;
        case MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
}
