#pragma once

#include <QDialog>
#include <QObject>
#include <QString>

#include <vector>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace orvanta {
class TSMLBase;
}

namespace orvanta::ui {

class TDataPane;
struct TKeyring;

// The address of the local SyncML server that scripts/syncml-server starts.
inline constexpr const char* kDefaultServerURL = "http://127.0.0.1:9000/syncevolution";

// The one account of every pane.
struct AccountSettings {
    QString ServerURL = QString::fromLatin1(kDefaultServerURL);
    QString User;
    QString Password;  // never written to the settings; to the keyring with Remember on
    bool UseProxy = false;
    QString ProxyHost;
    int ProxyPort = 0;
    QString CAFile;  // the certificate authority of a server with a private one
    // The panes keep their items in the replica on this computer and sync both ways;
    // off: Connect loads into memory and "Store changes" sends the changes one way.
    bool KeepCopy = true;
    friend bool operator==(const AccountSettings&, const AccountSettings&) = default;
};

// One account for every pane (server URL, user, password, proxy, CA file, keep-a-copy)
// and a data source per pane, remembered between runs in the user's settings (QSettings,
// the usual place for the platform). The password never goes there: with Remember on it
// is kept in the keyring of the environment, else nowhere.
class TAccount final : public QObject {
    Q_OBJECT

public:
    explicit TAccount(const TKeyring& keyring, QObject* parent = nullptr);

    [[nodiscard]] const AccountSettings& Settings() const { return settings_; }
    // Takes new settings; Changed follows when they differ.
    void SetSettings(const AccountSettings& settings);
    // Gives a client the account: server, user, password, proxy and CA file.
    void Configure(TSMLBase& client) const;
    // The user and the server's host as the status bar names them:
    // "ada@127.0.0.1:9000"; empty before a user is set.
    [[nodiscard]] QString Where() const;

    // Reads the account and the panes' data sources from the settings and, with Remember
    // on, asks the keyring for the password (it arrives later, with Changed).
    void Load(const std::vector<TDataPane*>& panes);
    void Save(const std::vector<TDataPane*>& panes) const;
    // With Remember on, keeps the password of the current account in the keyring.
    void StorePassword();

    [[nodiscard]] bool RememberPassword() const { return remember_; }
    // Off also removes the password from the keyring.
    void SetRememberPassword(bool remember);

signals:
    void Changed();
    // A message for the status bar (the keyring could not be reached ...).
    void Message(const QString& text);

private:
    [[nodiscard]] QString KeyringKey() const;
    void KeyringFailed(const QString& message);

    const TKeyring& keyring_;
    AccountSettings settings_;
    bool remember_ = false;
};

// The account's dialog (File > Account...): every field of the account in one place.
// Enter in any field means OK.
class TAccountForm final : public QDialog {
    Q_OBJECT

public:
    explicit TAccountForm(QWidget* parent = nullptr);

    // Shows the settings; true on OK.
    bool Run(const AccountSettings& settings, bool remember);
    // The settings as the dialog holds them, the others from `settings`.
    [[nodiscard]] AccountSettings Taken(AccountSettings settings) const;

    QLineEdit* ServerEd;
    QLineEdit* UserNameEd;
    QLineEdit* PasswordEd;
    QCheckBox* RememberBox;
    QCheckBox* CheckBox1;  // use a proxy
    QLineEdit* ProxyEd;
    QSpinBox* PortEd;
    QLineEdit* CAFileEd;
    QCheckBox* KeepCopyBox;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Show(const AccountSettings& settings, bool remember);

    QWidget* focus_ = nullptr;  // where the user most likely types first
};

class TMainForm;

// The window as the user left it, remembered between runs in the same settings: its size
// and place, the last tab, and each list's column widths and sort order.
void SaveWindowState(const TMainForm& window);
// Restores what SaveWindowState kept, if anything; before the window is shown.
void RestoreWindowState(TMainForm& window);

}  // namespace orvanta::ui
