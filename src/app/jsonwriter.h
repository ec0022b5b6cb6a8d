#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Compact JSON, written as UTF-8 in pieces to a sink, so that a long document
// is never held whole. Members come in the order they are written. Controls
// (C0, DEL, C1) and the bidirectional controls in texts are escaped: a
// consumer gets them, a terminal that shows the document does not act on them.
class JsonWriter
{
public:
    using Sink = std::function<void(QByteArrayView)>;

    explicit JsonWriter(Sink sink);
    ~JsonWriter();
    Q_DISABLE_COPY(JsonWriter)

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The name of the next member; written as it stands, so plain ASCII.
    void key(const char *name);
    void text(const QString &value);
    void boolean(bool value);
    void integer(qint64 value);
    void null();
    // Ends the document with a newline and passes on what is held back.
    void endLine();

private:
    void separate();
    void flush();
    void flushWhenFull();

    Sink m_sink;
    QByteArray m_buffer;
    bool m_needsComma = false;
};
