#pragma once
// The compressed container of a .qvx file: the length of the XML text as a signed
// 64-bit little-endian number, then a zlib stream (level 9) of exactly that text.

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <memory>

class QIODevice;

namespace quillpad {

// Writes the length and the compressed text to the device. Raises AppError when the
// device refuses the data.
void WriteQvxContainer(QIODevice &out, QByteArrayView xml);

// The same for a text handed over piece by piece: each piece is compressed as it comes
// (on a thread of this writer's own, which uses the device until finish() returns),
// and a length other than the one announced is written into the header at the end
// (the device must then be able to seek). Raises AppError when the device refuses data.
class QvxContainerWriter {
public:
    explicit QvxContainerWriter(QIODevice &out, qint64 announcedLength = 0);
    ~QvxContainerWriter();
    QvxContainerWriter(const QvxContainerWriter &) = delete;
    QvxContainerWriter &operator=(const QvxContainerWriter &) = delete;

    void write(QByteArrayView text);
    void finish();

private:
    QIODevice &m_out;
    qint64 m_announced;
    qint64 m_length = 0;
    struct Stream;
    std::unique_ptr<Stream> m_stream;
};

// Reads the container from the device and gives exactly the stored number of bytes.
// Raises AppError for a short header, a negative length, a damaged or truncated
// stream, a stream that inflates to fewer bytes than stored, or (for a file) a stored
// length beyond 64 times the compressed data and beyond 16 MiB. Memory grows with the
// inflated data, never with what the header claims.
QByteArray ReadQvxContainer(QIODevice &in);

// The same reading and checks, handing the text over in pieces as it is inflated
// instead of keeping it.
void InflateQvxContainer(QIODevice &in, const std::function<void(QByteArrayView)> &take);

}  // namespace quillpad
