#include "gui/titlelabel.h"

#include <QMouseEvent>

TitleLabel::TitleLabel(QWidget *parent, Qt::WindowFlags flags)
    : QLabel(parent, flags)
{ }

TitleLabel::TitleLabel(const QString &text, QWidget *parent, Qt::WindowFlags flags)
    : QLabel(text, parent, flags)
{ }

void TitleLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_buttonHeld = true;
    emit pressed(event->position().toPoint());
}

void TitleLabel::mouseMoveEvent(QMouseEvent *event)
{
    if (m_buttonHeld)
        emit moved(event->position().toPoint());
}

void TitleLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_buttonHeld = false;
}
