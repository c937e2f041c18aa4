#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <memory>

namespace gmd::ui {

namespace {

struct Installed {
    std::unique_ptr<QTranslator> translator;
    std::string locale;
};

Installed& Current() {
    static Installed installed;
    return installed;
}

}  // namespace

bool UseQtTranslations(const std::string& locale) {
    Installed& current = Current();
    if (locale == current.locale && (locale.empty() || current.translator)) {
        return true;
    }
    if (current.translator) {
        QCoreApplication::removeTranslator(current.translator.get());
        current.translator.reset();
    }
    current.locale.clear();
    if (locale.empty()) {
        return true;
    }
    auto translator = std::make_unique<QTranslator>();
    // qtbase holds the texts of the widgets and dialogs used here.
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(locale),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    current.translator = std::move(translator);
    current.locale = locale;
    return true;
}

std::string QtTranslationsLocale() {
    return Current().locale;
}

}  // namespace gmd::ui
