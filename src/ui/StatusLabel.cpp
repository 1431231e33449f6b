#include "StatusLabel.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextOption>
#include <QToolTip>

namespace rq {

namespace {

struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
};

// "3 left out", "1,204 left out": what a read left out, tables or databases, counted.
QList<Span> leftOutSpans(const QString& text)
{
    static const QRegularExpression counted(QStringLiteral("\\d[\\d,]* left out"));
    QList<Span> spans;
    for (auto match = counted.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        spans.append({found.capturedStart(), found.capturedLength()});
    }
    return spans;
}

// One line of text laid out as it is drawn, the parts of `spans` in it (spans count from `offset`) as links.
std::unique_ptr<QTextLayout> lineLayout(const QString& piece, qsizetype offset, const QList<Span>& spans,
                                        const QFont& font, const QColor& linkColour)
{
    auto layout = std::make_unique<QTextLayout>(piece, font);
    QList<QTextLayout::FormatRange> formats;
    for (const Span& span : spans) {
        const qsizetype from = std::max<qsizetype>(span.start - offset, 0);
        const qsizetype to = std::min<qsizetype>(span.start + span.length - offset, piece.size());
        if (from >= to)
            continue;
        QTextLayout::FormatRange range;
        range.start = int(from);
        range.length = int(to - from);
        range.format.setForeground(linkColour);
        range.format.setFontUnderline(true);
        formats.append(range);
    }
    layout->setFormats(formats);
    QTextOption noWrap;
    noWrap.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(noWrap);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

// Where each line of `text` begins and how long it is, wrapped at `width`.
QList<Span> wrappedLines(const QString& text, const QFont& font, qreal width)
{
    QTextLayout layout(text, font);
    QTextOption wrapping;
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrapping);
    QList<Span> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    return lines;
}

} // namespace

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

StatusLabel::Drawn StatusLabel::draw() const
{
    const QString whole = text();
    const QRectF room = contentsRect();
    const QFontMetricsF metrics(font());
    const int fitting = std::max(1, int(room.height() / metrics.lineSpacing()));
    const QList<Span> lines = wrappedLines(whole, font(), room.width());
    const QList<Span> links = leftOutSpans(whole);

    Drawn drawn;
    drawn.whole = lines.size() <= fitting;
    const int shown = int(std::min<qsizetype>(lines.size(), fitting));
    qreal top = room.top();
    if (alignment() & Qt::AlignVCenter)
        top += (room.height() - shown * metrics.lineSpacing()) / 2;
    for (int i = 0; i < shown; ++i) {
        const Span& line = lines[i];
        const bool elided = i == shown - 1 && !drawn.whole;
        const QString piece = elided ? metrics.elidedText(whole.mid(line.start), Qt::ElideRight, room.width())
                                     : whole.mid(line.start, line.length);
        drawn.lines.push_back({lineLayout(piece, line.start, links, font(), palette().color(QPalette::Link)),
                               line.start, QPointF(room.left(), top + i * metrics.lineSpacing())});
    }
    return drawn;
}

bool StatusLabel::shownWhole() const { return draw().whole; }

QString StatusLabel::linkAt(QPoint point) const
{
    const QList<Span> links = leftOutSpans(text());
    for (const DrawnLine& line : draw().lines) {
        const QTextLine laid = line.layout->lineAt(0);
        const QRectF bounds(line.position, QSizeF(laid.naturalTextWidth(), laid.height()));
        if (!bounds.contains(point))
            continue;
        const qsizetype at = line.offset + laid.xToCursor(point.x() - line.position.x(), QTextLine::CursorOnCharacter);
        for (const Span& link : links) {
            if (at >= link.start && at < link.start + link.length)
                return kLeftOutLink;
        }
    }
    return {};
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(foregroundRole()));
    for (const DrawnLine& line : draw().lines)
        line.layout->draw(&painter, line.position);
}

void StatusLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const QString link = event->button() == Qt::LeftButton ? linkAt(event->position().toPoint()) : QString();
    if (link.isEmpty()) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    emit linkActivated(link);
}

bool StatusLabel::event(QEvent* event)
{
    // Where the text does not show whole, the tool tip shows all of it.
    if (event->type() == QEvent::ToolTip && !text().isEmpty() && !shownWhole()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

} // namespace rq
