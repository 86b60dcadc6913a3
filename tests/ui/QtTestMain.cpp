#include <QtWidgets>

#include <gtest/gtest.h>

#include "ui/Translations.h"

// GoogleTest with an application object for widget tests (offscreen platform).
int main(int argc, char** argv) {
    // Offscreen unless the caller names a platform (CI runs them once under a real X server).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The tests remember their settings in a folder of their own, never the user's.
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    QApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    // English, as the tests expect it, whatever the machine's language.
    orvanta::ui::InstallTranslations(QLocale(QLocale::English));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
