#pragma once

#include <QLabel>

// The popup's message area: a left click (on release) or double click on it is
// reported with the position in the label.
class InfoLabel : public QLabel
{
    Q_OBJECT

public:
    explicit InfoLabel(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    explicit InfoLabel(const QString &text, QWidget *parent = nullptr, Qt::WindowFlags flags = {});

signals:
    void clicked(QPoint position);
    void doubleClicked(QPoint position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};
