#pragma once

#include <QByteArray>

#include <memory>

class QFile;
class QIODevice;

// The catalogue text a download gave: bytes held in memory, or the part of an
// open local file that holds it. A local file is read again where the text is
// used, in pieces, so that a large catalogue is never held whole, nor mapped
// (a file cut short while mapped would end the program).
class CatalogueBody
{
public:
    CatalogueBody() = default;
    explicit CatalogueBody(QByteArray text);
    CatalogueBody(std::shared_ptr<QFile> file, qint64 offset, qint64 size);

    qint64 size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // A device at the start of the text; read size() bytes from it.
    std::unique_ptr<QIODevice> open() const;
    // The whole text, in memory (fewer bytes when the file can no longer be
    // read).
    QByteArray bytes() const;

private:
    QByteArray m_bytes;
    std::shared_ptr<QFile> m_file;
    qint64 m_offset = 0;
    qint64 m_size = 0;
};
