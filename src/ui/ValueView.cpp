#include "ValueView.h"

#include <QMimeData>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <algorithm>

namespace rq {

// Colours the highlighted stretches of each display line as the view lays it out: only lines in sight cost anything.
class ValueView::Highlighter : public QSyntaxHighlighter {
public:
    Highlighter(ValueView& view) : QSyntaxHighlighter(view.document()), view_(view)
    {
        format_.setBackground(QColor(255, 214, 0));
        format_.setForeground(Qt::black);
    }

protected:
    void highlightBlock(const QString& text) override
    {
        const auto& highlights = view_.highlights_;
        const qsizetype start = view_.shown_.starts.value(currentBlock().blockNumber(), 0);
        const qsizetype end = start + text.size();
        // The first stretch that ends after this line starts.
        auto it = std::lower_bound(highlights.begin(), highlights.end(), start,
                                   [](const auto& h, qsizetype at) { return h.first + h.second <= at; });
        for (; it != highlights.end() && it->first < end; ++it) {
            const qsizetype from = std::max(it->first, start);
            const qsizetype to = std::min(it->first + it->second, end);
            setFormat(int(from - start), int(to - from), format_);
        }
    }

private:
    ValueView& view_;
    QTextCharFormat format_;
};

ValueView::ValueView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setTabChangesFocus(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    highlighter_ = new Highlighter(*this);
}

void ValueView::setValue(const QString& value, QList<std::pair<qsizetype, qsizetype>> highlights)
{
    value_ = value;
    highlights_ = std::move(highlights);
    shown_ = shownValue(value_);
    setPlainText(shown_.text); // highlights each line as it is laid out
}

QString ValueView::valueText(int from, int to) const
{
    const auto valuePosition = [this](int at) {
        const QTextBlock block = document()->findBlock(at);
        return shown_.valuePosition(block.blockNumber(), at - block.position());
    };
    const qsizetype start = valuePosition(std::min(from, to));
    return value_.mid(start, valuePosition(std::max(from, to)) - start);
}

QMimeData* ValueView::createMimeDataFromSelection() const
{
    auto* mime = new QMimeData;
    const QTextCursor selection = textCursor();
    mime->setText(valueText(selection.selectionStart(), selection.selectionEnd()));
    return mime;
}

} // namespace rq
