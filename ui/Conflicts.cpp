#include "ui/Conflicts.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/SyncMLBase.h"
#include "ui/Environment.h"
#include "ui/PaneKinds.h"
#include "ui/UiSupport.h"

namespace orvanta::ui {

TConflictForm::TConflictForm(const PaneKind& kind, TSMLBase& client, TItemStorage& storage,
                             const TEnvironment& environment, QWidget* parent)
    : QDialog(parent),
      kind_(kind),
      client_(client),
      storage_(storage),
      environment_(environment) {
    setObjectName(QStringLiteral("ConflictForm"));
    setWindowTitle(tr("Conflicts"));
    ConflictList = Named(new QListWidget, "ConflictList");
    LocalView = Named(new QPlainTextEdit, "LocalView");
    ServerView = Named(new QPlainTextEdit, "ServerView");
    for (QPlainTextEdit* view : {LocalView, ServerView}) {
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    }
    KeepMineBtn = Named(new QPushButton(tr("Keep mine")), "KeepMineBtn");
    KeepMineBtn->setToolTip(tr("Bring this computer's version back; the next sync sends it"));
    KeepServerBtn = Named(new QPushButton(tr("Keep the server's")), "KeepServerBtn");
    KeepServerBtn->setToolTip(tr("Keep the server's version and forget this computer's"));

    auto* sides = new QGridLayout;
    sides->addWidget(new QLabel(tr("On this computer:")), 0, 0);
    sides->addWidget(new QLabel(tr("On the server:")), 0, 1);
    sides->addWidget(LocalView, 1, 0);
    sides->addWidget(ServerView, 1, 1);
    sides->addWidget(KeepMineBtn, 2, 0);
    sides->addWidget(KeepServerBtn, 2, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ConflictList, 1);
    layout->addLayout(sides, 3);
    layout->addWidget(buttons);

    connect(ConflictList, &QListWidget::currentRowChanged, this, [this] { ShowSelected(); });
    connect(KeepMineBtn, &QPushButton::clicked, this, [this] { Keep(ConflictSide::Local); });
    connect(KeepServerBtn, &QPushButton::clicked, this, [this] { Keep(ConflictSide::Server); });
    resize(720, 480);
    Fill();
}

QString TConflictForm::Version(const std::optional<std::string>& payload) const {
    if (!payload) return tr("(deleted)");
    const auto item = client_.CreateItem();
    item->Parse(*payload);
    QStringList lines;
    for (const ItemColumn& column : kind_.Columns) {
        const QString text = column.Text(*item).toString();
        if (!text.isEmpty()) lines << PaneText(column.Header) + QStringLiteral(": ") + text;
    }
    return lines.join(QLatin1Char('\n'));
}

void TConflictForm::Fill() {
    environment_.Guarded([this] { conflicts_ = storage_.Conflicts(); });
    ConflictList->clear();
    for (const ConflictCopy& conflict : conflicts_) {
        const std::optional<std::string>& either = conflict.Server ? conflict.Server : conflict.Local;
        QString title;
        if (either) {
            const auto item = client_.CreateItem();
            item->Parse(*either);
            title = ToQt(item->GetTitle());
        }
        ConflictList->addItem(tr("%1, %2")
                                  .arg(title.isEmpty() ? tr("Untitled") : title,
                                       LocaleText(UTCToLocal(conflict.When))));
    }
    if (!conflicts_.empty()) ConflictList->setCurrentRow(0);
    ShowSelected();
}

void TConflictForm::ShowSelected() {
    const int row = ConflictList->currentRow();
    const bool any = row >= 0 && row < static_cast<int>(conflicts_.size());
    KeepMineBtn->setEnabled(any);
    KeepServerBtn->setEnabled(any);
    LocalView->setPlainText(any ? Version(conflicts_[static_cast<std::size_t>(row)].Local) : QString());
    ServerView->setPlainText(any ? Version(conflicts_[static_cast<std::size_t>(row)].Server)
                                 : QString());
}

void TConflictForm::Keep(ConflictSide side) {
    const int row = ConflictList->currentRow();
    if (row < 0 || row >= static_cast<int>(conflicts_.size())) return;
    environment_.Guarded(
        [&] { storage_.ResolveConflict(conflicts_[static_cast<std::size_t>(row)].ID, side); });
    Fill();
    if (conflicts_.empty()) accept();
}

}  // namespace orvanta::ui
