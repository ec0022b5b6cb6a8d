#include "gui/notificationpopup.h"
#include "ui_notificationpopup.h"

#include "core/common.h"
#include "core/logger.h"
#include "gui/autostart.h"
#include "gui/notificationdialog.h"
#include "gui/reporthtml.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kMargin = 20;
constexpr int kSlideMs = 300;

QRect screenGeometry(bool available)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return available ? screen->availableGeometry() : screen->geometry();
}

} // namespace

NotificationPopup::NotificationPopup(const QString &message, int timeoutMs, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::NotificationPopup>())
    , m_message(message)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Popup | Qt::CustomizeWindowHint);
    setFont(QFont(QStringLiteral("Segoe UI Semibold"), 9));

    setObjectName(QStringLiteral("NotificationPopup"));
    ui->titleBar->setObjectName(QStringLiteral("titleBar"));
    ui->closeButton->setObjectName(QStringLiteral("closeButton"));
    ui->leftPanel->setObjectName(QStringLiteral("leftPanel"));
    ui->updateCheck->setObjectName(QStringLiteral("updateCheck"));
    ui->mainView->setObjectName(QStringLiteral("mainView"));

    setStyleSheet(QStringLiteral(
        "QDialog#NotificationPopup { background-color: white; border: 1px solid #444; }"));
    ui->titleBar->setStyleSheet(
        QStringLiteral("QLabel#titleBar { background-color: #3953d5; color: white; padding-left: "
                       "10px; font-weight: bold; border: 1px outset #222; }"));
    ui->closeButton->setStyleSheet(
        QStringLiteral("QPushButton#closeButton { background-color: #3953d5; color: white; "
                       "font-weight: bold; border: 1px outset #222; }"));
    ui->leftPanel->setStyleSheet(QStringLiteral("QLabel#leftPanel { background-color: #1e2d79; "
                                                "padding-left: 10px; padding-right: 10px; }"));
    ui->mainView->setStyleSheet(
        QStringLiteral("QLabel#mainView { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: "
                       "1,stop: 0 #1e2d79, stop: 1.0 #6f85f5); color: white; padding-left: 10px; "
                       "padding-right: 10px; }"));
    ui->updateCheck->setStyleSheet(
        QStringLiteral("QCheckBox#updateCheck { background-color: #6f85f5; color: #ffffff; "
                       "padding-left: 10px; }"));
    ui->leftPanel->setPixmap(QPixmap(QStringLiteral(":/images/Brivex_Server_Patch_128.png")));

    readSettings();
    drawMainView();

    connect(ui->mainView, &InfoLabel::clicked, this, &NotificationPopup::reportRequested);
    connect(ui->titleBar, &TitleLabel::pressed, this, &NotificationPopup::onTitlePressed);
    connect(ui->titleBar, &TitleLabel::moved, this, &NotificationPopup::onTitleMoved);
    connect(ui->updateCheck, &QCheckBox::clicked, this, &NotificationPopup::onUpdateCheckClicked);
    // Precise: a coarse timer of 15 s may fire up to 0.75 s early.
    if (timeoutMs != -1)
        QTimer::singleShot(timeoutMs, Qt::PreciseTimer, this, &NotificationPopup::timerDone);

    // The log-on choice is made in the report window; this box is never shown.
    ui->updateCheck->setChecked(false);
    ui->updateCheck->hide();
}

NotificationPopup::~NotificationPopup() = default;

void NotificationPopup::setMessage(const QString &message)
{
    m_message = message;
    drawMainView();
}

void NotificationPopup::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // A short message keeps to one line, as the heading does; a longer one
    // (a failed check's, with an address) wraps at about 80 characters. And
    // however long it is, the popup stays inside the work area.
    ui->mainView->setWordWrap(false);
    const int oneLine = ui->mainView->sizeHint().width();
    ui->mainView->setWordWrap(true);
    ui->mainView->setMinimumWidth(
        qMin(oneLine, ui->mainView->fontMetrics().averageCharWidth() * 80));
    setMaximumSize(screenGeometry(true).size() - QSize(2 * kMargin, 2 * kMargin));
    adjustSize();
    positionWindow();
}

void NotificationPopup::on_closeButton_clicked()
{
    closeWindow();
}

void NotificationPopup::timerDone()
{
    Logger::instance()->Print(
        Severity::Debug, QStringLiteral("NotificationPopup timed out.  Closing."));
    closeWindow();
}

void NotificationPopup::onTitlePressed(QPoint position)
{
    m_dragOffset = position;
}

void NotificationPopup::onTitleMoved(QPoint position)
{
    move(pos() + (position - m_dragOffset));
}

void NotificationPopup::onUpdateCheckClicked(bool checked)
{
    Q_UNUSED(checked);
    writeSettings();
}

void NotificationPopup::drawMainView()
{
    // A failed check's message may hold a long address: it wraps.
    ui->mainView->setText(QStringLiteral("<h2>Brivex for Server and Extensions</h2><p> %1 </p>")
                              .arg(wrappableHtml(m_message)));
}

void NotificationPopup::closeWindow()
{
    // Once is enough; a popup the toolkit already closed just closes.
    if (m_closing || !isVisible()) {
        close();
        return;
    }
    m_closing = true;
    const QRect corner = cornerGeometry();
    const int bottom = screenGeometry(false).bottom();
    QEventLoop loop;
    connect(slide(corner, QRect(corner.x(), bottom, corner.width(), corner.height())),
        &QAbstractAnimation::finished, &loop, &QEventLoop::quit);
    loop.exec();
    close();
}

void NotificationPopup::positionWindow()
{
    const QRect corner = cornerGeometry();
    slide(QRect(corner.x(), screenGeometry(false).bottom(), corner.width(), 0), corner);
}

void NotificationPopup::readSettings()
{
    ui->updateCheck->setChecked(Common::instance()->checkAtLogin);
}

void NotificationPopup::writeSettings()
{
    ui->updateCheck->setChecked(Utils::saveCheckAtLogin(ui->updateCheck->isChecked()));
}

QRect NotificationPopup::cornerGeometry() const
{
    const QRect area = screenGeometry(true);
    return QRect(area.x() + area.width() - width() - kMargin,
        area.y() + area.height() - height() - kMargin, width(), height());
}

QAbstractAnimation *NotificationPopup::slide(const QRect &from, const QRect &to)
{
    auto *animation = new QPropertyAnimation(this, "geometry", this);
    animation->setDuration(kSlideMs);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}
