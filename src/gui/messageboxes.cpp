#include "gui/messageboxes.h"

#include "core/checkerror.h"
#include "core/console.h"
#include "core/logger.h"
#include "core/utils.h"

#include <QMessageBox>

namespace {

void showBox(Utils::MessageKind kind, const QString &title, const QString &text, QWidget *parent)
{
    // Messages may carry text from a server (an HTTP reason phrase) or a
    // catalogue: a box takes text that looks like HTML as HTML, where an
    // <img> can exhaust memory and a link can start programs.
    QMessageBox box(
        kind == Utils::MessageKind::Critical ? QMessageBox::Critical : QMessageBox::Information,
        title, Console::printable(text, Console::LineBreaks::Kept), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

void installMessageBoxes()
{
    Utils::setMessagePresenter(&showBox);
}

void noteCheckFailure(const CheckError &error)
{
    if (!error.failed())
        return;
    Logger::instance()->Print(Severity::Error, error.message);
}
