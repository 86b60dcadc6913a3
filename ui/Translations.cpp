#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>
#include <vector>

// The compiled translations are a resource of this static library, which the linker keeps
// only when something calls its initializer (and Q_INIT_RESOURCE works outside namespaces
// only).
static void InitTranslationResource() {
    Q_INIT_RESOURCE(orvanta_translations);
}

namespace orvanta::ui {

namespace {

const QString kFolder = QStringLiteral(":/orvanta/translations");

struct Installed {
    std::vector<std::unique_ptr<QTranslator>> translators;
    QString language = QStringLiteral("en");
};

Installed& Current() {
    static Installed installed;
    return installed;
}

// Installs the translation if it loads; the ones installed last are asked first.
bool Install(std::unique_ptr<QTranslator> translator, bool loaded) {
    if (!loaded || !QCoreApplication::installTranslator(translator.get())) return false;
    Current().translators.push_back(std::move(translator));
    return true;
}

}  // namespace

void InstallTranslations(const QLocale& locale) {
    InitTranslationResource();
    Installed& current = Current();
    for (const auto& translator : current.translators)
        QCoreApplication::removeTranslator(translator.get());
    current.translators.clear();
    current.language = QStringLiteral("en");

    auto english = std::make_unique<QTranslator>();
    const bool englishLoaded = english->load(QStringLiteral("orvanta_en"), kFolder);
    Install(std::move(english), englishLoaded);
    // The first of the user's languages that has a translation; English has its own.
    auto own = std::make_unique<QTranslator>();
    if (own->load(locale, QStringLiteral("orvanta"), QStringLiteral("_"), kFolder) &&
        own->language() != QLatin1String("en")) {
        const QString language = own->language();
        auto toolkit = std::make_unique<QTranslator>();
        const bool toolkitLoaded =
            toolkit->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        Install(std::move(toolkit), toolkitLoaded);
        if (Install(std::move(own), true)) current.language = language;
    }
}

QString UiLanguage() {
    return Current().language;
}

}  // namespace orvanta::ui
