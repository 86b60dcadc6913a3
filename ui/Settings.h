#pragma once

#include <QObject>
#include <QString>

#include <vector>

namespace orvanta::ui {

class TDataPane;
struct TKeyring;

// One account for every pane (server URL, user, password, proxy, CA file) and a data source per
// pane, remembered between runs in the user's settings (QSettings, the usual place for
// the platform). The password never goes there: with Remember on it is kept in the
// keyring of the environment, else nowhere.
class TAccount final : public QObject {
    Q_OBJECT

public:
    TAccount(std::vector<TDataPane*> panes, const TKeyring& keyring, QObject* parent = nullptr);

    // Fills the panes from the settings and, with Remember on, asks the keyring for the
    // password (it arrives later).
    void Load();
    // Writes the account and the data sources to the settings.
    void Save() const;
    // With Remember on, keeps the password of the current account in the keyring.
    void StorePassword();

    [[nodiscard]] bool RememberPassword() const { return remember_; }
    // Off also removes the password from the keyring.
    void SetRememberPassword(bool remember);

signals:
    // A message for the status bar (the keyring could not be reached ...).
    void Message(const QString& text);

private:
    // An edit of an account field in one pane reaches every other pane.
    void Spread(const TDataPane* from);
    [[nodiscard]] QString KeyringKey() const;

    std::vector<TDataPane*> panes_;
    const TKeyring& keyring_;
    bool remember_ = false;
    bool spreading_ = false;
};

class TMainForm;

// The window as the user left it, remembered between runs in the same settings: its size
// and place, the last tab, and each list's column widths and sort order.
void SaveWindowState(const TMainForm& window);
// Restores what SaveWindowState kept, if anything; before the window is shown.
void RestoreWindowState(TMainForm& window);

}  // namespace orvanta::ui
