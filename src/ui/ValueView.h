#pragma once

#include "logic/results/ShownValue.h"

#include <QList>
#include <QPlainTextEdit>
#include <utility>

namespace rq {

// A whole value, read-only, with stretches of it highlighted. Shown in display lines of bounded length
// (ShownValue), so that only the lines in sight are laid out and drawn: scrolling through millions of units
// stays smooth. Copying gives the value's own text, line breaks and control characters as they are.
class ValueView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ValueView(QWidget* parent = nullptr);

    // `highlights`: (start, length) in the value, in order.
    void setValue(const QString& value, QList<std::pair<qsizetype, qsizetype>> highlights);
    const QString& value() const { return value_; }
    const QList<std::pair<qsizetype, qsizetype>>& highlights() const { return highlights_; }
    const ShownValue& shown() const { return shown_; }
    // The value's text between two places of the view's document.
    QString valueText(int from, int to) const;

protected:
    QMimeData* createMimeDataFromSelection() const override;

private:
    class Highlighter;
    QString value_;
    ShownValue shown_;
    QList<std::pair<qsizetype, qsizetype>> highlights_;
    Highlighter* highlighter_;
};

} // namespace rq
