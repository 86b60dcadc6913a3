#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <string>

#include "formats/Failure.h"

class QWidget;

namespace orvanta::ui {

// The current local date-time.
using LocalClock = std::function<QDateTime()>;
// Shows a failure to the user: what failed, in the user's words, and the detail the layer
// below gave (its own message, in English; may be empty), each ended by ErrorText.
using ErrorReporter = std::function<void(const QString& text, const QString& detail)>;
// Asks for the files to open or the file to write; empty: cancelled.
using FileChooser = std::function<QStringList(QWidget* parent, bool save, const QString& caption,
                                              const QString& filter, const QString& suffix)>;

// Where a remembered password is kept. Each call answers through `done`, on the
// interface thread, possibly later; error is empty on success.
struct TKeyring {
    // password is empty when the keyring holds none for the key.
    std::function<void(const QString& key,
                       std::function<void(const QString& password, const QString& error)> done)>
        Read;
    std::function<void(const QString& key, const QString& password,
                       std::function<void(const QString& error)> done)>
        Write;
    std::function<void(const QString& key)> Delete;
};

// A failure the interface itself raises, its message already in the user's language, with
// the detail of the failure below it, if any.
class UserError : public Failure {
public:
    explicit UserError(const QString& text, const QString& detail = {});
    [[nodiscard]] const QString& Text() const { return text_; }
    [[nodiscard]] const QString& Detail() const { return detail_; }

private:
    QString text_;
    QString detail_;
};

// What the interface takes from the system: the clock, the message box that shows a
// failure, the file dialogs, the keyring and where the replica is. The main window holds
// one and hands it to the panes, editors, account and File menu it makes, which keep a
// reference; a test hands in its own.
struct TEnvironment {
    LocalClock Clock;
    ErrorReporter Report;
    FileChooser ChooseFiles;
    TKeyring Keyring;
    // The replica file, which keeps the items on this computer; empty: nowhere, and the
    // panes work as without "Keep a copy on this computer".
    QString ReplicaFile;

    [[nodiscard]] QDateTime Now() const { return Clock(); }
    // The program's single place for failures: every exception raised in a handler of
    // Connect, Refresh, Store, the File menu or an editor ends here, shown through Report:
    // a UserError as it is, any other failure as what failed ("The exchange with the
    // server failed.") with its own message as the detail.
    void ReportError(const std::exception& error) const;
    // Runs the handler and reports what it throws; true when it ran to its end.
    bool Guarded(const std::function<void()>& handler) const;
};

// What failed, in the user's words, by the kind of failure: "The exchange with the server
// failed." ... (the failure's own message is the detail).
[[nodiscard]] QString Headline(const std::exception& error);

// The system's: the current time, a message box with the error icon and the caption
// "Orvanta", the toolkit's file dialogs, the system keyring (through QtKeychain) and the
// replica's usual place.
[[nodiscard]] TEnvironment SystemEnvironment();

}  // namespace orvanta::ui
