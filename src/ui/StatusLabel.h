#pragma once

#include <QLabel>
#include <QTextLayout>
#include <memory>
#include <vector>

namespace rq {

// A line of plain text that is never cut in silence: the text wraps onto as many lines as the label is high,
// the last of them ends in "…" where more follows, and the whole text is then the tool tip. The words that count
// what was left out ("3 left out") are a link (linkActivated) to where that choice is made.
class StatusLabel : public QLabel {
    Q_OBJECT
public:
    explicit StatusLabel(QWidget* parent);

    // Whether the whole text shows at the label's present size.
    bool shownWhole() const;
    // The link under a point of the label, or an empty text.
    QString linkAt(QPoint point) const;

    static inline const QString kLeftOutLink = QStringLiteral("left-out");

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    // One line as it is drawn, and where its text begins in the label's.
    struct DrawnLine {
        std::unique_ptr<QTextLayout> layout;
        qsizetype offset = 0;
        QPointF position;
    };
    struct Drawn {
        std::vector<DrawnLine> lines;
        bool whole = true;
    };
    Drawn draw() const;
};

} // namespace rq
