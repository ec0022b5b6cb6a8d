#pragma once

#include "catalogue/jsonhelper.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>

class QIODevice;

// Goes through a JSON text in pieces read from a device, checking every byte
// it passes, so that a large document is judged whole without being held
// whole. The caller steps through the values it wants and skips the others.
//
// It reads only the plain forms: a text, or a part of it, that it cannot read
// with certainty (nesting deeper than kMaxDepth, an escaped member name asked
// for, a number that may lie outside the range of a double) counts as failed
// like one that is not JSON, and is left to JSONHelper::parse() to judge.
// What it reads as JSON, parse() reads alike.
class JSONHelper::Reader
{
public:
    enum class Kind { End, Object, Array, String, Number, True, False, Null, Invalid };
    static constexpr int kMaxDepth = 64;

    // Reads at most size bytes from the device's current position.
    Reader(QIODevice &device, qint64 size);

    // Something read so far is not JSON or not in a plain form; every step
    // after it fails.
    bool failed() const { return m_failed; }

    // The kind of the value ahead, after white space.
    Kind peek();
    bool enterObject();
    bool enterArray();
    // The next member of the object entered last: true with its name (as
    // written; an escaped name fails), ready for its value; false after the
    // object's end (or on failure). The name stays valid until the next step.
    bool nextMember(QByteArrayView *name);
    // The same for the elements of the array entered last.
    bool nextElement();
    // Passes over the value ahead, checking all of it.
    bool skip();
    // The string ahead as text, escapes resolved.
    QString text();
    // The number ahead as written.
    QByteArray number();
    // Only white space follows.
    bool atEnd();

private:
    struct Open
    {
        bool object;
        bool first; // no entry read yet
    };

    // The byte ahead, or -1 at the end of the text.
    int next()
    {
        if (m_pos == m_end && !more())
            return -1;
        return uchar(m_buffer.constData()[m_pos]);
    }
    void skipSpace()
    {
        const char *data = m_buffer.constData();
        if (m_pos < m_end && uchar(data[m_pos]) > ' ')
            return;
        // The one space after a colon.
        if (m_end - m_pos >= 2 && data[m_pos] == ' ' && uchar(data[m_pos + 1]) > ' ') {
            ++m_pos;
            return;
        }
        skipSpaceSlowly();
    }
    void skipSpaceSlowly();
    bool ensure(qsizetype count);
    bool more();
    bool fail();
    bool nextEntry(bool object);
    bool scanString(QByteArrayView *content, bool *escaped);
    bool passString();
    bool scanLiteral(QByteArrayView word);
    bool scanNumber(QByteArrayView *token);
    QString unescape(QByteArrayView content) const;

    QIODevice &m_device;
    qint64 m_unread;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    qsizetype m_mark = -1; // start of the token being read, kept when more is read
    QVarLengthArray<Open, kMaxDepth> m_open;
    bool m_failed = false;
};
