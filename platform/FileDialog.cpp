#include "FileDialog.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <filesystem>

#include "Charset.h"

namespace {

constexpr char kTessoraFilter[] = "Tessora Files (*.tso)";
// The display text of the second filter. Qt trims the leading space and would take "*.*" to
// mean names with a dot only, so the dialog filters on "*" and shows this text.
constexpr char kAllFilesText[] = " All Files (*.*)";
constexpr char kAllFilesFilter[] = "All Files (*)";
constexpr char kInitialName[] = "*.tso";
constexpr char kDefaultSuffix[] = "tso";

FileDialogHook& hook() {
    static FileDialogHook h;
    return h;
}

}  // namespace

void SetFileDialogHook(FileDialogHook h) {
    hook() = std::move(h);
}

std::optional<std::string> RunFileDialog(FileDialogKind kind, QWidget* parent) {
    if (hook()) return hook()(kind);

    const bool save = kind == FileDialogKind::Save;
    QFileDialog dialog(parent, save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    // The same dialog on every desktop, and one the tests can drive.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilters(
        {QString::fromLatin1(kTessoraFilter), QString::fromLatin1(kAllFilesFilter)});
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        types && types->count() == 2) {
        types->setItemText(1, QString::fromLatin1(kAllFilesText));
    }
    dialog.selectNameFilter(QString::fromLatin1(kTessoraFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultSuffix));
    dialog.selectFile(QString::fromLatin1(kInitialName));

    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.front()).toStdString();
}

std::string FileTitle(const std::string& path) {
    const std::string stem = std::filesystem::path(path).stem().string();
    return ToAnsi(QFile::decodeName(QByteArray::fromStdString(stem)));
}
