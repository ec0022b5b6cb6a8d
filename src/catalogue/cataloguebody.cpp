#include "catalogue/cataloguebody.h"

#include <QBuffer>
#include <QFile>

#include <unistd.h>

CatalogueBody::CatalogueBody(QByteArray text)
    : m_bytes(std::move(text))
    , m_size(m_bytes.size())
{ }

CatalogueBody::CatalogueBody(std::shared_ptr<QFile> file, qint64 offset, qint64 size)
    : m_file(std::move(file))
    , m_offset(offset)
    , m_size(size)
{ }

std::unique_ptr<QIODevice> CatalogueBody::open() const
{
    if (!m_file) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->setData(m_bytes);
        buffer->open(QIODevice::ReadOnly);
        return buffer;
    }
    // The same open file, not the name, which may name another file by now.
    auto file = std::make_unique<QFile>();
    const int handle = ::dup(m_file->handle());
    if (handle >= 0
        && !file->open(
            handle, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        ::close(handle);
    if (file->isOpen())
        file->seek(m_offset);
    return file;
}

QByteArray CatalogueBody::bytes() const
{
    if (!m_file)
        return m_bytes;
    const std::unique_ptr<QIODevice> text = open();
    return text->isOpen() ? text->read(m_size) : QByteArray();
}
