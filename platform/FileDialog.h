#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

// The file dialogs of the file commands: .tso files first, any file on request, a name typed
// without an extension completed with ".tso". Saving asks before replacing a file; opening
// takes only a file that exists.
enum class FileDialogKind { Save, Open };

// Runs the dialog modally over parent. Returns the chosen file's full path as an 8-bit local
// path, or nothing when the operator cancels.
std::optional<std::string> RunFileDialog(FileDialogKind kind, QWidget* parent);

// Lets tests choose files instead of a person; an empty hook restores the real dialog.
using FileDialogHook = std::function<std::optional<std::string>(FileDialogKind kind)>;
void SetFileDialogHook(FileDialogHook hook);

// The name of the file at path without its folder and last extension ("news.old" for
// /shows/news.old.tso), as 8-bit window text.
std::string FileTitle(const std::string& path);
