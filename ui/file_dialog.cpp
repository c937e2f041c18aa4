// Open and save dialogs on QFileDialog (Qt's own dialog, so behaviour is the same on every
// desktop and under test platforms).

#include "ui/file_dialog.h"

#include <QFileDialog>
#include <QStandardPaths>
#include <atomic>
#include <vector>

#include "ui/window.h"

namespace gmd::ui {

namespace {

std::atomic<FileDialogResponder> g_responder{nullptr};

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

// "config", ".config" and " .config " all mean the suffix "config".
std::string BareExtension(const std::string& extension) {
    std::string ext = Trim(extension);
    while (!ext.empty() && ext.front() == '.') {
        ext.erase(0, 1);
    }
    return ext;
}

// "name" + "config" -> "name.config"; a name that has an extension stays as it is.
std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
    const std::string ext = BareExtension(extension);
    const size_t slash = path.find_last_of('/');
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    // A leading dot starts a hidden name, not an extension.
    if (ext.empty() || fileName.empty() || fileName.find('.', 1) != std::string::npos) {
        return path;
    }
    return path + "." + ext;
}

std::optional<std::string> RunDialog(HWND owner, const FileDialogOptions& options, bool save) {
    QFileDialog dialog(GetWindowWidget(owner), QString::fromStdString(options.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const std::string filter = ConvertFilter(options.filter);
    if (!filter.empty()) {
        dialog.setNameFilters(QString::fromStdString(filter).split(QStringLiteral(";;")));
    }
    if (save) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.promptOverwrite);
        // Qt adds the suffix before its overwrite check, so the check sees the real name.
        dialog.setDefaultSuffix(QString::fromStdString(BareExtension(options.defaultExtension)));
    }
    // "*.png" only repeats the filter; a real name is offered for editing.
    dialog.setDirectory(QString::fromStdString(options.directory));
    if (!options.initialName.empty() && !HasWildcard(options.initialName)) {
        dialog.selectFile(QString::fromStdString(options.initialName));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

std::optional<std::string> Ask(HWND owner, const FileDialogOptions& asked, bool save) {
    FileDialogOptions options = asked;
    if (options.directory.empty()) {
        // Not the working directory, which for a program started from the menu is "/".
        options.directory =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    }
    if (FileDialogResponder responder = g_responder.load()) {
        std::optional<std::string> answer = responder(save, options);
        if (answer && save) {
            // The responder answers as a user typing a name would.
            answer = WithDefaultExtension(*answer, options.defaultExtension);
        }
        return answer;
    }
    return RunDialog(owner, options, save);
}

}  // namespace

std::string ConvertFilter(const std::string& windowsFilter) {
    // Pairs separated by '|': a description, then its patterns ("*.a;*.b"); an empty entry
    // ends the list.
    const std::vector<std::string> parts = Split(windowsFilter, '|');
    std::string result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string description = Trim(parts[i]);
        std::string patterns;
        for (const std::string& pattern : Split(parts[i + 1], ';')) {
            const std::string p = Trim(pattern);
            if (!p.empty()) {
                patterns += (patterns.empty() ? "" : " ") + p;
            }
        }
        if (description.empty() || patterns.empty()) {
            break;
        }
        if (!result.empty()) {
            result += ";;";
        }
        const std::string shown = "(" + patterns + ")";
        const bool showsPatterns =
            description.size() >= shown.size() &&
            description.compare(description.size() - shown.size(), shown.size(), shown) == 0;
        result += showsPatterns ? description : description + " " + shown;
    }
    return result;
}

std::optional<std::string> GetOpenFileName(HWND owner, const FileDialogOptions& options) {
    return Ask(owner, options, false);
}

std::optional<std::string> GetSaveFileName(HWND owner, const FileDialogOptions& options) {
    return Ask(owner, options, true);
}

void SetFileDialogResponder(FileDialogResponder responder) {
    g_responder.store(responder);
}

}  // namespace gmd::ui
