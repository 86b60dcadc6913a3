#pragma once

#include <QDialog>

#include <vector>

#include "formats/ItemStorage.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace orvanta {
class TSMLBase;
}

namespace orvanta::ui {

struct PaneKind;
struct TEnvironment;

// The conflicts of a data source: items changed here and on the server, whose server
// version the sync kept, with the version of this computer beside it. The user sees both
// side by side and keeps one: "Keep mine" brings the local version back, marked for the
// next sync; "Keep the server's" drops the local one.
class TConflictForm final : public QDialog {
    Q_OBJECT

public:
    TConflictForm(const PaneKind& kind, TSMLBase& client, TItemStorage& storage,
                  const TEnvironment& environment, QWidget* parent = nullptr);

    QListWidget* ConflictList;
    QPlainTextEdit* LocalView;
    QPlainTextEdit* ServerView;
    QPushButton* KeepMineBtn;
    QPushButton* KeepServerBtn;

private:
    void Fill();
    void ShowSelected();
    void Keep(ConflictSide side);
    // A version as the user reads it: the kind's columns, a line each.
    [[nodiscard]] QString Version(const std::optional<std::string>& payload) const;

    const PaneKind& kind_;
    TSMLBase& client_;
    TItemStorage& storage_;
    const TEnvironment& environment_;
    std::vector<ConflictCopy> conflicts_;
};

}  // namespace orvanta::ui
