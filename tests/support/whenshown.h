#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Acts once on the first visible top-level widget of type W, polling while
// this object lives. Modal windows (dialogs run with exec(), message boxes)
// are handled this way from inside their own event loop:
//
//     WhenShown<QMessageBox> closer([](QMessageBox *box) { box->close(); });
//     codeThatShowsABox();
//     QVERIFY(closer.done());
template<typename W> class WhenShown
{
public:
    explicit WhenShown(std::function<void(W *)> action)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, action] {
            const QWidgetList widgets = QApplication::topLevelWidgets();
            for (QWidget *widget : widgets) {
                auto *found = qobject_cast<W *>(widget);
                if (found && found->isVisible()) {
                    m_timer.stop();
                    m_done = true;
                    action(found);
                    return;
                }
            }
        });
        m_timer.start();
    }
    Q_DISABLE_COPY(WhenShown)

    bool done() const { return m_done; }

private:
    QTimer m_timer;
    bool m_done = false;
};
