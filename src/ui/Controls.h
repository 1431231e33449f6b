#pragma once

#include "ui/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

// Building the two windows' controls at fixed places, as they were designed.
namespace rq {

template <class W> W* place(QWidget* parent, const QRect& where)
{
    auto* widget = new W(parent);
    widget->setGeometry(where);
    return widget;
}

// Push buttons carry the larger bold caption and never act as the default button on Enter.
inline QPushButton* button(QWidget* parent, const QString& caption, const QRect& where)
{
    auto* b = place<QPushButton>(parent, where);
    b->setText(caption);
    b->setFont(boldArial(11.25));
    b->setAutoDefault(false);
    return b;
}

inline QCheckBox* checkBox(QWidget* parent, const QString& caption, const QRect& where)
{
    auto* c = place<QCheckBox>(parent, where);
    c->setText(caption);
    return c;
}

inline QGroupBox* frame(QWidget* parent, const QString& caption, const QRect& where)
{
    auto* f = place<QGroupBox>(parent, where);
    f->setTitle(caption);
    return f;
}

// A label that names a box, also for screen readers: the box's accessible name is the caption without
// its colon.
inline QLabel* label(QWidget* parent, const QString& caption, const QRect& where, QWidget* box)
{
    auto* l = place<QLabel>(parent, where);
    l->setText(caption);
    l->setBuddy(box);
    QString name = caption;
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    box->setAccessibleName(name);
    return l;
}

} // namespace rq
