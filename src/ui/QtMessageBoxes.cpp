#include "QtMessageBoxes.h"

#include <QMessageBox>

namespace rq {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace {

// The program's texts break lines with a carriage return, as the platform they were written for did;
// Qt's labels break at line feeds only.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

Answer QtMessageBoxes::show(const platform::MessageBox& box)
{
    QMessageBox dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setTextFormat(Qt::PlainText);
    dialog.setWindowTitle(box.title);
    dialog.setText(displayText(box.text));
    dialog.setIcon(box.icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (!box.reason.isEmpty())
        dialog.setInformativeText(displayText(box.reason));
    if (!box.details.isEmpty())
        dialog.setDetailedText(box.details);
    if (box.buttons == Buttons::YesNoCancel) {
        dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        dialog.setDefaultButton(QMessageBox::Yes);
        dialog.setEscapeButton(QMessageBox::Cancel);
        const int answer = dialog.exec();
        return answer == QMessageBox::Yes ? Answer::Yes : answer == QMessageBox::No ? Answer::No : Answer::Cancel;
    }
    if (box.buttons == Buttons::YesNo) {
        dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        dialog.setDefaultButton(QMessageBox::Yes);
        dialog.setEscapeButton(QMessageBox::No);
        return dialog.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    dialog.setStandardButtons(QMessageBox::Ok);
    dialog.exec();
    return Answer::Ok;
}

} // namespace rq
