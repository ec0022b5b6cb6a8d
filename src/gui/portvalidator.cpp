#include "gui/portvalidator.h"

PortValidator::PortValidator(QObject *parent)
    : QIntValidator(0, 65535, parent)
{ }

QValidator::State PortValidator::validate(QString &input, int &pos) const
{
    const State state = QIntValidator::validate(input, pos);
    if (state == Invalid)
        return Invalid;
    // Plain digits only: the port is read back with QString::toInt, which
    // knows no signs of a locale such as group separators.
    for (const QChar c : input) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return Invalid;
    }
    if (!input.isEmpty() && input.toLongLong() > top())
        return Invalid;
    return state;
}
