#include "FormStyle.h"

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

} // namespace rq
