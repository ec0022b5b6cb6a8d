#pragma once

#include <QIntValidator>

// An integer validator for a TCP port (0 to 65535) that refuses, while the
// user types, a number above the top as well: a plain integer validator lets
// "70000" stand as unfinished input, which would then be saved cut to 16 bits.
class PortValidator : public QIntValidator
{
    Q_OBJECT

public:
    explicit PortValidator(QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;
};
