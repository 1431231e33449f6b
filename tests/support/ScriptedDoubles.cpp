#include "ScriptedDoubles.h"

namespace rq::test {

Answer ScriptedMessageBoxes::show(const platform::MessageBox& box)
{
    shown_.append(box);
    if (whileOpen)
        whileOpen(box);
    if (box.buttons == platform::Buttons::Ok)
        return Answer::Ok;
    if (answers_.empty())
        return Answer::No;
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const platform::MessageBox& box : shown_)
        result.append(box.text);
    return result;
}

QStringList failureReports(const ScriptedMessageBoxes& messages)
{
    QStringList reports;
    for (const platform::MessageBox& box : messages.shown()) {
        if (box.title == QLatin1String("Application Error"))
            reports.append(box.text);
    }
    return reports;
}

QString ScriptedFileDialog::askSaveFileName(const platform::SaveDialogOptions& options)
{
    last_ = options;
    ++shown_;
    if (answers_.empty())
        return {};
    const auto [path, filter] = answers_.front();
    answers_.pop_front();
    chosenFilter_ = filter;
    return path;
}

} // namespace rq::test
