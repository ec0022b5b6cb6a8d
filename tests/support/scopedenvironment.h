#pragma once

#include <QByteArray>
#include <QtGlobal>

// Sets (or, with a null value, removes) an environment variable of this
// process and restores the previous state when it goes out of scope.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value);
    ~ScopedEnvironment();
    Q_DISABLE_COPY(ScopedEnvironment)

private:
    const char *m_name;
    QByteArray m_saved;
    bool m_wasSet;
};
