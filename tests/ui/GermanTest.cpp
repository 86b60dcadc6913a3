#include <QRegularExpression>

#include <map>
#include <set>
#include <string>

#include "kinds/CalSyncML.h"
#include "kinds/KindTable.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "ui/Translations.h"
#include "ui/UiHarness.h"

namespace orvanta {
namespace {

using namespace test;
using namespace ui;

// Every text a user can read on the widget and below it, in the widgets' order: window
// titles, labels, buttons, group boxes, placeholders, tool tips, tabs, list entries, combo
// box items, table headers and cells, actions and menus.
void Collect(const QWidget* root, std::vector<QString>& texts) {
    QList<const QWidget*> widgets{root};
    for (const QWidget* child : root->findChildren<QWidget*>())
        widgets.push_back(child);
    for (const QWidget* w : widgets) {
        if (w->isWindow()) texts.push_back(w->windowTitle());
        texts.push_back(w->toolTip());
        if (const auto* label = qobject_cast<const QLabel*>(w)) texts.push_back(label->text());
        if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            texts.push_back(button->text());
        if (const auto* group = qobject_cast<const QGroupBox*>(w)) texts.push_back(group->title());
        if (const auto* edit = qobject_cast<const QLineEdit*>(w))
            texts.push_back(edit->placeholderText());
        if (const auto* menu = qobject_cast<const QMenu*>(w)) texts.push_back(menu->title());
        if (const auto* bar = qobject_cast<const QTabBar*>(w))
            for (int i = 0; i < bar->count(); ++i)
                texts.push_back(bar->tabText(i));
        // Lists, tables and combo boxes: their headers and rows.
        const auto* view = qobject_cast<const QAbstractItemView*>(w);
        const auto* combo = qobject_cast<const QComboBox*>(w);
        if (const QAbstractItemModel* model = view    ? view->model()
                                              : combo ? combo->model()
                                                      : nullptr) {
            for (int c = 0; c < model->columnCount(); ++c) {
                texts.push_back(model->headerData(c, Qt::Horizontal).toString());
                for (int r = 0; r < model->rowCount(); ++r)
                    texts.push_back(model->index(r, c).data().toString());
            }
        }
    }
    for (const QAction* action : root->findChildren<QAction*>())
        texts.insert(texts.end(), {action->text(), action->toolTip(), action->statusTip()});
}

// The texts of the window, of every editor shown on an item of its kind (the event with
// a reminder), of the account's dialog, of the questions it asks and of a refusal it
// reports; every button shown must be as wide as its text, which German makes longer.
std::vector<QString> WindowTexts(TMainForm& window, const std::vector<std::string>& errors,
                                 const char* user) {
    // An account of its own, so that each window starts with empty lists in the replica.
    AccountSettings account = window.Account().Settings();
    account.User = QString::fromLatin1(user);
    account.Password = QStringLiteral("pw");
    window.Account().SetSettings(account);
    window.show();
    std::map<std::string, std::string> items;  // whose own texts hold no letters
    for (const Section& s : ReadSections(ReadFile(ORVANTA_TEST_DATA "/ui/letterless-items.case")))
        items[s.Head] = s.Body;
    std::vector<QString> texts;
    for (int tab = 0; tab < static_cast<int>(window.Panes().size()); ++tab) {
        TDataPane& pane = *window.Panes()[static_cast<std::size_t>(tab)];
        pane.SyncClient().NewItem()->Parse(items.at(pane.Kind().Data->Keyword));
        pane.TakeImported({});
        pane.SelectRow(0);
        window.TabControl1->setCurrentIndex(tab);
        QApplication::processEvents();
        for (QPushButton* button : pane.findChildren<QPushButton*>()) {
            const QString text = QString(button->text()).remove('&');
            EXPECT_TRUE(!button->isVisible() ||
                        button->width() >= button->fontMetrics().horizontalAdvance(text))
                << text.toStdString();
        }
        // The editor of the selected item; the event's with a reminder in its list.
        if (auto* event = dynamic_cast<TSMLEvent*>(pane.SelectedItem()))
            event->AddReminder({15, 0, ReminderPeriod::Minutes, ReminderMethod::Popup});
        WhenModal([&](QWidget* dialog) {
            Collect(dialog, texts);
            static_cast<QDialog*>(dialog)->reject();
        });
        pane.EditBtnClick();
        WhenModal([&](QWidget* box) {
            Collect(box, texts);
            static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
        });
        pane.DeleteBtnClick();
    }
    for (auto* dialog : window.findChildren<TEditorDialog*>()) {
        dialog->Adding = true;  // the captions of new items
        Collect(dialog, texts);
    }
    Collect(&window, texts);
    WhenModal([&](QWidget* dialog) {
        Collect(dialog, texts);
        static_cast<QDialog*>(dialog)->reject();
    });
    window.EditAccount();
    window.CurrentPane()->List->clearSelection();
    window.FileMenu()->findChild<QAction*>("ExportSelectedAction")->trigger();
    texts.push_back(QString::fromStdString(errors.back()));
    return texts;
}

// The window in German shows no English: every text differs from the same window's in
// English, apart from words both languages share (tests/data/ui/same-in-german.txt, a text
// per line). The English window is made first;
// then the German translation replaces the English one for the second.
TEST_F(UiTest, GermanWindowShowsNoEnglish) {
    const std::vector<QString> english = WindowTexts(*window, errors, "ada");
    // As on a German system: the language of the texts and the locale of dates alike.
    InstallTranslations(QLocale(QLocale::German, QLocale::Germany));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_EQ(UiLanguage(), "de_DE");
    auto german = NewWindow();
    const std::vector<QString> texts = WindowTexts(*german, errors, "bea");
    InstallTranslations(QLocale(QLocale::English));
    ASSERT_EQ(texts.size(), english.size());

    std::set<QString> shared;
    const QString list =
        QString::fromStdString(ReadFile(ORVANTA_TEST_DATA "/ui/same-in-german.txt"));
    for (const QString& line : list.split('\n'))
        if (!line.isEmpty() && !line.startsWith('#')) shared.insert(line);
    const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}"));
    std::set<QString> untranslated;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == english[i] && texts[i].contains(words) && !shared.count(texts[i]))
            untranslated.insert(texts[i]);
    }
    EXPECT_TRUE(untranslated.empty()) << QStringList(untranslated.begin(), untranslated.end())
                                             .join(QStringLiteral("\n"))
                                             .toStdString();
}

// The window shows the program's icon: the renders of ui/orvanta.svg, linked into the
// interface as resources, at every size from a menu's 16 pixels to a task switcher's 256,
// each the drawing (a blue tile with rounded corners) and not an empty picture.
TEST_F(UiTest, WindowShowsTheProgramsIcon) {
    const QIcon icon = window->windowIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(side);
        ASSERT_TRUE(sizes.contains(QSize(side, side)));
        const QImage image = icon.pixmap(QSize(side, side), 1.0).toImage();
        ASSERT_EQ(image.size(), QSize(side, side));
        EXPECT_LT(qAlpha(image.pixel(0, 0)), 16);  // the corner rounded off
        const QColor tile = image.pixelColor(side / 2, 1);
        EXPECT_EQ(tile.alpha(), 255);
        EXPECT_GT(tile.blue(), tile.red() + 64);
    }
}

}  // namespace
}  // namespace orvanta
