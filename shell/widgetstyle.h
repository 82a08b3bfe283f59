#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

// Small changes of a widget's look, shared by the windows.
namespace qmv {

inline void setPointSize(QWidget *widget, double points)
{
    QFont font = widget->font();
    font.setPointSizeF(points);
    widget->setFont(font);
}

// A Window colour shows only where the widget fills its own background.
inline void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
    if (role == QPalette::Window)
        widget->setAutoFillBackground(true);
}

} // namespace qmv
