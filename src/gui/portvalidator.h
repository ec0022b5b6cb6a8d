#pragma once

#include <QIntValidator>

// An integer validator for a TCP port (0 to 65535) that also refuses, while
// the user types, a number above the top and anything but digits: a plain
// integer validator lets "70000" stand as unfinished input (then saved cut to
// 16 bits) and accepts group separators (then saved as 0).
class PortValidator : public QIntValidator
{
    Q_OBJECT

public:
    explicit PortValidator(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
