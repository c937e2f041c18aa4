#pragma once
// Qt's own texts (standard dialog buttons, file dialogs, the context menu of text fields) in the
// interface language, from the translation catalogues Qt ships.

#include <string>

namespace gmd::ui {

// Replaces the Qt catalogue in use with the one for `locale` ("zh_CN", "zh_TW"); an empty
// locale goes back to Qt's built-in English. false when the catalogue cannot be loaded: Qt's
// texts are then English.
bool UseQtTranslations(const std::string& locale);

// The locale of the catalogue in use, empty for none.
std::string QtTranslationsLocale();

}  // namespace gmd::ui
