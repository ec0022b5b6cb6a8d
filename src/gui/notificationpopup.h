#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

#include <memory>

class QAbstractAnimation;
class QRect;

namespace Ui {
class NotificationPopup;
}

// The frameless announcement of the tray check: it rises into the bottom-right
// corner of the screen's work area, can be dragged by its title bar, asks for
// the report window when its message is clicked, and slides out again on "X"
// or when its time-out expires. Closing it leaves the log-on choice alone: that
// is made in the report window, and the box here stays hidden.
class NotificationPopup : public QDialog
{
    Q_OBJECT

public:
    // timeoutMs: -1 for none.
    NotificationPopup(const QString &message, int timeoutMs, QWidget *parent = nullptr);
    ~NotificationPopup() override;

    void setMessage(const QString &message);

signals:
    // The message was clicked.
    void reportRequested();

protected:
    void showEvent(QShowEvent *event) override;

private slots:
    void on_closeButton_clicked();
    void timerDone();
    void onTitlePressed(QPoint position);
    void onTitleMoved(QPoint position);
    void onUpdateCheckClicked(bool checked);

private:
    void drawMainView();
    void closeWindow();
    void positionWindow();
    void readSettings();
    void writeSettings();
    // Where the popup rests: 20 pixels inside the work area's bottom-right corner.
    QRect cornerGeometry() const;
    // Starts an animation of the geometry, owned by the popup and deleted
    // once it stops.
    QAbstractAnimation *slide(const QRect &from, const QRect &to);

    std::unique_ptr<Ui::NotificationPopup> ui;
    QString m_message;
    QPoint m_dragOffset;
    bool m_closing = false;
};
