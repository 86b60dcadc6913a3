// Orvanta: a desktop client for SyncML 1.2 data stores.
#include <QApplication>

#include <exception>

#include "ui/Forms.h"
#include "ui/UiSupport.h"

namespace {

// Exceptions must not cross the event loop: whatever a handler did not catch ends here.
class TApplication final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            orvanta::ui::ReportError(error);
        } catch (...) {
            orvanta::ui::ReportError(std::runtime_error("An unexpected failure occurred"));
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    QApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
    QApplication::setWindowIcon(orvanta::ui::AppIcon());
    orvanta::ui::TMainForm window;
    window.show();
    return QApplication::exec();
}
