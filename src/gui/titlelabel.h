#pragma once

#include <QLabel>

// The popup's title bar: reports where the left button grabbed it and where
// the mouse then moves, so that the popup can be dragged by it.
class TitleLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TitleLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    explicit TitleLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags flags = {});

signals:
    void pressed(QPoint position);
    void moved(QPoint position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_buttonHeld = false;
};
