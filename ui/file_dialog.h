#pragma once
// Open and save file dialogs.

#include <optional>
#include <string>

#include "ui/ui_defs.h"

namespace gmd::ui {

struct FileDialogOptions {
    // Windows-style filter text: "(*.config) | *.config ||" or "(*.png) | *.png |(*.*)|*.*||".
    std::string filter;
    std::string defaultExtension;  // added when the user types a name without one
    std::string initialName;       // "*.png" or a file name
    std::string directory;         // where the dialog starts; empty: the documents folder
    std::string title;
    bool promptOverwrite = true;  // save dialogs
};

// Turns a Windows-style filter into Qt's form: "Profile files|*.config||" gives
// "Profile files (*.config)"; a description that already shows its patterns is kept as it is.
std::string ConvertFilter(const std::string& windowsFilter);

// The chosen path, or nothing when cancelled.
std::optional<std::string> GetOpenFileName(HWND owner, const FileDialogOptions& options);
std::optional<std::string> GetSaveFileName(HWND owner, const FileDialogOptions& options);

// Tests and headless runs answer the dialogs without showing them.
using FileDialogResponder = std::optional<std::string> (*)(bool save,
                                                           const FileDialogOptions& options);
void SetFileDialogResponder(FileDialogResponder responder);

}  // namespace gmd::ui
