#include "gui/infolabel.h"

#include <QMouseEvent>

InfoLabel::InfoLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{ }

InfoLabel::InfoLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{ }

void InfoLabel::mousePressEvent(QMouseEvent *event)
{
    event->accept(); // the release is what counts; the press goes no further
}

void InfoLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked(event->position().toPoint());
}

void InfoLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked(event->position().toPoint());
}
