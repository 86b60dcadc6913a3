#pragma once

#include <QLocale>
#include <QString>

namespace orvanta::ui {

// Installs the program's translation for the languages of `locale` (the system's: its
// uiLanguages follow LANGUAGE, LC_ALL, LC_MESSAGES and LANG) and the toolkit's own, which
// names the standard buttons and dialogs, when the system has it. The English texts are
// the program's source; their plural forms ("1 change", "2 changes") come from the
// English translation, which is always installed beneath. Calling it again replaces
// what the last call installed; the texts of windows made before keep their language.
void InstallTranslations(const QLocale& locale = QLocale::system());

// The language the program's texts are shown in ("de"; "en" when none of the locale's
// languages has a translation).
[[nodiscard]] QString UiLanguage();

}  // namespace orvanta::ui
