#include "interchange/QvxContainer.h"

#include "store/AppError.h"

#include <QIODevice>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

namespace quillpad {

namespace {

constexpr qint64 HeaderSize = 8;
constexpr qsizetype ChunkSize = 256 * 1024;
// The largest stored length believed of a file: 64 times its compressed data, and any
// length up to 16 MiB whatever the data.
constexpr qint64 MaxInflationRatio = 64;
constexpr qint64 MaxLengthWithoutRatio = 16 * 1024 * 1024;

AppError NotAContainer(const QString &why)
{
    return AppError(QStringLiteral("Not a compressed interchange file: %1").arg(why));
}

QString ZlibText(const z_stream &stream, int code)
{
    return stream.msg ? QString::fromLatin1(stream.msg) : QStringLiteral("zlib error %1").arg(code);
}

// zlib keeps pointers into itself, so the stream must stay where it was initialised.
class Deflater {
public:
    Deflater()
    {
        if (deflateInit(&m_stream, Z_BEST_COMPRESSION) != Z_OK)
            throw std::bad_alloc();
    }
    ~Deflater() { deflateEnd(&m_stream); }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;
    z_stream &stream() { return m_stream; }

private:
    z_stream m_stream{};
};

class Inflater {
public:
    Inflater()
    {
        if (inflateInit(&m_stream) != Z_OK)
            throw std::bad_alloc();
    }
    ~Inflater() { inflateEnd(&m_stream); }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
    z_stream &stream() { return m_stream; }

private:
    z_stream m_stream{};
};

}  // namespace

// Deflate runs on a thread of its own while the caller makes the next pieces of text:
// on a machine with two cores the text costs next to nothing. The pieces wait in a
// short queue, so memory stays a few pieces whatever the text's length; the bytes are
// those of one deflate over the whole text, as the pieces reach it in order.
struct QvxContainerWriter::Stream {
    explicit Stream(QIODevice &out) : out(out) {}

    void run()
    {
        try {
            for (;;) {
                QByteArray piece;
                bool last = false;
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [this] { return !queue.empty() || finishing || stopping; });
                    if (stopping)
                        return;
                    if (queue.empty()) {
                        last = true;
                    } else {
                        piece = std::move(queue.front());
                        queue.pop_front();
                    }
                }
                changed.notify_all();
                if (last) {
                    deflateInput(Z_FINISH);
                    return;
                }
                // A piece is at most ChunkSize, well within deflate's 32-bit count.
                z_stream &stream = deflater.stream();
                stream.next_in = reinterpret_cast<Bytef *>(piece.data());
                stream.avail_in = static_cast<uInt>(piece.size());
                deflateInput(Z_NO_FLUSH);
            }
        } catch (...) {
            const std::lock_guard lock(mutex);
            error = std::current_exception();
            queue.clear();
            stopping = true;
            changed.notify_all();
        }
    }

    // Runs deflate until it has taken all the input (or, finishing, ended the stream).
    void deflateInput(int flush)
    {
        z_stream &stream = deflater.stream();
        int code = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(buffer.data());
            stream.avail_out = static_cast<uInt>(buffer.size());
            code = deflate(&stream, flush);
            if (code == Z_STREAM_ERROR)
                throw AppError(QStringLiteral("Cannot compress the data: %1").arg(ZlibText(stream, code)));
            const qint64 produced = buffer.size() - stream.avail_out;
            if (produced > 0 && out.write(buffer.constData(), produced) != produced)
                throw AppError(QStringLiteral("Cannot write the file: %1").arg(out.errorString()));
        } while (flush == Z_FINISH ? code != Z_STREAM_END : (stream.avail_in > 0 || stream.avail_out == 0));
    }

    // Raises what stopped the thread.
    void raiseError()
    {
        if (error)
            std::rethrow_exception(error);
    }

    static constexpr size_t QueueLength = 4;
    QIODevice &out;
    Deflater deflater;
    QByteArray buffer = QByteArray(ChunkSize, Qt::Uninitialized);
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> queue;
    bool finishing = false;
    bool stopping = false;
    std::exception_ptr error;
    std::thread thread;
};

QvxContainerWriter::QvxContainerWriter(QIODevice &out, qint64 announcedLength)
    : m_out(out), m_announced(announcedLength), m_stream(std::make_unique<Stream>(out))
{
    const qint64 length = qToLittleEndian<qint64>(announcedLength);
    if (out.write(reinterpret_cast<const char *>(&length), HeaderSize) != HeaderSize)
        throw AppError(QStringLiteral("Cannot write the file: %1").arg(out.errorString()));
    m_stream->thread = std::thread([stream = m_stream.get()] { stream->run(); });
}

QvxContainerWriter::~QvxContainerWriter()
{
    if (m_stream->thread.joinable()) {
        {
            const std::lock_guard lock(m_stream->mutex);
            m_stream->stopping = true;
        }
        m_stream->changed.notify_all();
        m_stream->thread.join();
    }
}

void QvxContainerWriter::write(QByteArrayView text)
{
    Stream &stream = *m_stream;
    m_length += text.size();
    for (qsizetype at = 0; at < text.size(); at += ChunkSize) {
        QByteArray piece = text.sliced(at, std::min(ChunkSize, text.size() - at)).toByteArray();
        std::unique_lock lock(stream.mutex);
        stream.changed.wait(lock, [&stream] { return stream.queue.size() < Stream::QueueLength || stream.stopping; });
        if (stream.stopping) {
            lock.unlock();
            stream.thread.join();
            stream.raiseError();
            throw AppError(QStringLiteral("Cannot compress the data"));
        }
        stream.queue.push_back(std::move(piece));
        lock.unlock();
        stream.changed.notify_all();
    }
}

void QvxContainerWriter::finish()
{
    Stream &stream = *m_stream;
    if (stream.thread.joinable()) {
        {
            const std::lock_guard lock(stream.mutex);
            stream.finishing = true;
        }
        stream.changed.notify_all();
        stream.thread.join();
    }
    stream.raiseError();
    if (m_length == m_announced)
        return;
    const qint64 length = qToLittleEndian<qint64>(m_length);
    if (!m_out.seek(0) || m_out.write(reinterpret_cast<const char *>(&length), HeaderSize) != HeaderSize)
        throw AppError(QStringLiteral("Cannot write the file: %1").arg(m_out.errorString()));
}

void WriteQvxContainer(QIODevice &out, QByteArrayView xml)
{
    QvxContainerWriter writer(out, xml.size());
    writer.write(xml);
    writer.finish();
}

QByteArray ReadQvxContainer(QIODevice &in)
{
    QByteArray xml;
    InflateQvxContainer(in, [&xml](QByteArrayView piece) { xml.append(piece); });
    return xml;
}

void InflateQvxContainer(QIODevice &in, const std::function<void(QByteArrayView)> &take)
{
    qint64 length = 0;
    if (in.read(reinterpret_cast<char *>(&length), HeaderSize) != HeaderSize)
        throw NotAContainer(QStringLiteral("the file is too short"));
    length = qFromLittleEndian(length);
    if (length < 0)
        throw NotAContainer(QStringLiteral("the stored length is negative"));
    // Our own files inflate to a few times their size. A claim far beyond what the data
    // could hold is refused before anything is inflated, so a small hostile file cannot
    // take the machine's memory.
    if (!in.isSequential()) {
        const qint64 compressed = std::max<qint64>(in.size() - HeaderSize, 0);
        if (length > std::max(compressed * MaxInflationRatio, MaxLengthWithoutRatio))
            throw NotAContainer(QStringLiteral("the stored length is beyond what the data can hold"));
    }

    Inflater inflater;
    z_stream &stream = inflater.stream();
    QByteArray input(ChunkSize, Qt::Uninitialized);
    QByteArray output(ChunkSize, Qt::Uninitialized);
    qint64 taken = 0;
    qint64 inflated = 0;
    int code = Z_OK;
    // Stop at the stream's end, or as soon as it has proved longer than the stored
    // length: the text is the first "length" bytes either way.
    while (code != Z_STREAM_END && inflated <= length) {
        if (stream.avail_in == 0) {
            const qint64 got = in.read(input.data(), input.size());
            if (got < 0)
                throw AppError(QStringLiteral("Cannot read the file: %1").arg(in.errorString()));
            if (got == 0)
                throw NotAContainer(QStringLiteral("the compressed data ends too soon"));
            stream.next_in = reinterpret_cast<Bytef *>(input.data());
            stream.avail_in = static_cast<uInt>(got);
        }
        stream.next_out = reinterpret_cast<Bytef *>(output.data());
        stream.avail_out = static_cast<uInt>(output.size());
        code = inflate(&stream, Z_NO_FLUSH);
        if (code == Z_MEM_ERROR)
            throw std::bad_alloc();
        if (code != Z_OK && code != Z_STREAM_END && !(code == Z_BUF_ERROR && stream.avail_in == 0))
            throw NotAContainer(ZlibText(stream, code));
        const qint64 produced = output.size() - stream.avail_out;
        const qint64 kept = std::min(produced, length - taken);
        if (kept > 0)
            take(QByteArrayView(output.constData(), kept));
        taken += kept;
        inflated += produced;
    }
    if (taken < length)
        throw NotAContainer(QStringLiteral("the data is shorter than the stored length"));
}

}  // namespace quillpad
