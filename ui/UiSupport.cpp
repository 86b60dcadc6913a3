#include "ui/UiSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>

#include <cmath>

// The icon's renders are a resource of this static library, which the linker keeps only
// when something calls its initializer (and Q_INIT_RESOURCE works outside namespaces only).
static void InitIconResource() {
    Q_INIT_RESOURCE(orvanta_icons);
}

namespace orvanta::ui {

namespace {

const QDate kDayZero(1899, 12, 30);

}  // namespace

QWidget* ListWithButtons(QWidget* group, QWidget* list, std::initializer_list<QWidget*> buttons) {
    auto* column = new QVBoxLayout;
    for (QWidget* button : buttons)
        column->addWidget(button);
    column->addStretch();
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(list, 1);
    layout->addLayout(column);
    return group;
}

void SetTabOrder(const std::vector<QWidget*>& order) {
    const QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (previous) QWidget::setTabOrder(const_cast<QWidget*>(previous), widget);
        previous = widget;
    }
}

WideString FromMultiLine(const QString& text) {
    QString joined = text;
    joined.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    joined.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQt(joined);
}

QString ToMultiLine(const WideString& text) {
    QString lines = ToQt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

QDateTime ToQDateTime(TDateTime value) {
    const long long ms = std::llround(value * kMSecsPerDay);
    long long days = ms / 86400000LL;
    long long rest = ms % 86400000LL;
    if (rest < 0) {
        rest += 86400000LL;
        --days;
    }
    return QDateTime(kDayZero.addDays(days),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest)));
}

TDateTime FromQDateTime(const QDateTime& value) {
    return DatePart(value) + TimePart(value);
}

TDateTime DatePart(const QDateTime& value) {
    return static_cast<TDateTime>(kDayZero.daysTo(value.date()));
}

TDateTime TimePart(const QDateTime& value) {
    return value.time().msecsSinceStartOfDay() / kMSecsPerDay;
}

QString LocaleText(TDateTime value) {
    if (value == 0) return {};
    const QDateTime moment = ToQDateTime(value);
    const QLocale locale;
    QString text = locale.toString(moment.date(), QLocale::ShortFormat);
    const QTime time = moment.time();
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0) {
        text += QLatin1Char(' ') + locale.toString(time, TimeFormat());
    }
    return text;
}

QString TimeFormat() {
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]?s+|t")));
    return format.trimmed();
}

QString ErrorText(const QString& message) {
    // A full stop ends the message unless its last character already is one or a
    // character of a lower code (a blank, a comma, a closing parenthesis keep theirs).
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + QLatin1Char('.');
    return message;
}

QIcon AppIcon() {
    // Every size the build rendered from ui/orvanta.svg, the drawing the desktop's menus
    // show too.
    InitIconResource();
    QIcon icon;
    const QDir sizes(QStringLiteral(":/orvanta/icons/hicolor"));
    for (const QString& size : sizes.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        icon.addFile(sizes.filePath(size + QStringLiteral("/apps/orvanta.png")));
    return icon;
}

QString Changes(int count) {
    return QCoreApplication::translate("orvanta::ui", "%n change(s)", nullptr, count);
}

QString PriorityName(int priority) {
    switch (priority) {
        case 1:
            return QCoreApplication::translate("orvanta::ui", "High", "priority");
        case 2:
            return QCoreApplication::translate("orvanta::ui", "Normal", "priority");
        case 3:
            return QCoreApplication::translate("orvanta::ui", "Low", "priority");
        default:
            return priority <= 0
                       ? QCoreApplication::translate("orvanta::ui", "None", "priority")
                       : QCoreApplication::translate("orvanta::ui", "Low (%1)", "priority")
                             .arg(priority);
    }
}

QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton preferred) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Orvanta"), text, buttons, parent);
    box.setObjectName(QStringLiteral("AskBox"));
    box.setDefaultButton(preferred);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace orvanta::ui
