#pragma once

#include <QBuffer>

// Hands out at most `step` bytes a read, so that a reader's pieces end at
// every place of a token.
class TrickleDevice : public QBuffer
{
public:
    TrickleDevice(const QByteArray &bytes, qint64 step)
        : m_step(step)
    {
        setData(bytes);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *data, qint64 size) override
    {
        return QBuffer::readData(data, qMin(size, m_step));
    }

private:
    qint64 m_step;
};
