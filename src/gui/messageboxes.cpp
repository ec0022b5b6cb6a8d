#include "gui/messageboxes.h"

#include "core/utils.h"

#include <QMessageBox>

namespace {

void showBox(Utils::MessageKind kind, const QString &title, const QString &text, QWidget *parent)
{
    if (kind == Utils::MessageKind::Critical)
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    else
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

} // namespace

void installMessageBoxes()
{
    Utils::setMessagePresenter(&showBox);
}
