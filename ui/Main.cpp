// Orvanta: a desktop client for SyncML 1.2 data stores.
#include <QApplication>

#include <exception>

#include "ui/Environment.h"
#include "ui/Forms.h"
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

}  // namespace

int main(int argc, char** argv) {
    const orvanta::ui::TEnvironment environment = orvanta::ui::SystemEnvironment();
    TApplication app(argc, argv, environment);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
    QApplication::setWindowIcon(orvanta::ui::AppIcon());
    orvanta::ui::TMainForm window(environment);
    window.show();
    return QApplication::exec();
}
