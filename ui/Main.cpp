// Orvanta: a desktop client for SyncML 1.2 data stores.
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "ui/Environment.h"
#include "ui/Forms.h"
#include "ui/Translations.h"
#include "ui/UiSupport.h"

namespace {

// Exceptions must not cross the event loop: whatever a handler did not catch ends here,
// reported through the program's environment.
class TApplication final : public QApplication {
public:
    TApplication(int& argc, char** argv, const orvanta::ui::TEnvironment& environment)
        : QApplication(argc, argv), environment_(environment) {}
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            environment_.ReportError(error);
        } catch (...) {
            environment_.ReportError(std::runtime_error("An unexpected failure occurred"));
        }
        return false;
    }

private:
    const orvanta::ui::TEnvironment& environment_;
};

// True when the command line asks only for text (--help, --version): the program prints it
// and ends before any window, so it needs no display and makes no interface.
bool OnlyPrints(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const orvanta::ui::TEnvironment environment = orvanta::ui::SystemEnvironment();
    const std::unique_ptr<QCoreApplication> app =
        OnlyPrints(argc, argv) ? std::make_unique<QCoreApplication>(argc, argv)
                               : std::make_unique<TApplication>(argc, argv, environment);
    QCoreApplication::setApplicationName(QStringLiteral("Orvanta"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps calendar, contacts, tasks and notes on a SyncML server."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(*app);  // --help, --version and an unknown option end here
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: unexpected argument '%s'\n", argv[0],
                     qUtf8Printable(parser.positionalArguments().constFirst()));
        return 1;
    }

    // The window speaks the first of the user's languages it has a translation for.
    orvanta::ui::InstallTranslations();
    // The desktop entry the window belongs to (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("orvanta"));
    QApplication::setWindowIcon(orvanta::ui::AppIcon());
    orvanta::ui::TMainForm window(environment);
    window.show();
    return QApplication::exec();
}
