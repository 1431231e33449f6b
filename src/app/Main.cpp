#include "Main.h"

#include "extraction/ResultsList.h"
#include "platform/ApplicationTitle.h"
#include "platform/Failure.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace rq {

namespace {

bool isPlainControl(const QWidget* widget)
{
    return qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget) ||
           qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget);
}

QColor buttonFace(const QWidget& window) { return window.palette().color(QPalette::Active, QPalette::Button); }

} // namespace

bool FileExists(const QString& path)
{
    try {
        return platform::pathCanBeDated(path);
    } catch (...) {
        return false;
    }
}

void setBackground(QWidget& widget, const QColor& colour)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, colour);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

void ApplyFormColours(QWidget& window)
{
    const QColor face = buttonFace(window);
    setBackground(window, face);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (isPlainControl(child))
            setBackground(*child, face);
    }
}

void ApplySkin(QWidget& connectionWindow)
{
    const QString skinPath = platform::programFolder() + QLatin1String("/x/o.cjs");
    if (!platform::isPlainVisibleFile(skinPath))
        return;
    ApplyFormColours(connectionWindow);
    QFile skin(skinPath);
    if (!skin.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("Cannot load skin %1: %2").arg(skinPath, skin.errorString()));
    connectionWindow.setStyleSheet(QString::fromUtf8(skin.readAll()));
}

QString appTitleFor(const QString& productTitle)
{
    QString title = productTitle;
    while (title.size() > kAppTitleLimit) {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    }
    return title;
}

void SetAppTitle() { platform::setApplicationTitle(appTitleFor(QString::fromLatin1(kProductTitle))); }

bool ListContains(const ResultsList& list, const QString& text) { return list.contains(text); }

} // namespace rq
