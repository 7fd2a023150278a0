#include "store/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace quillpad {

namespace {

std::atomic<qint64> SpaceForTesting{-1};

// How much of `wanted` the test's disk still takes.
qint64 TakeSpace(qint64 wanted)
{
    qint64 left = SpaceForTesting.load();
    do {
        if (left < 0)
            return wanted;
    } while (!SpaceForTesting.compare_exchange_weak(left, left - std::min(left, wanted)));
    return std::min(left, wanted);
}

// The file a write replaces: a link's target, however many links lead there.
QString FileBehind(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;  // a dangling link: its target is made
}

// The rename is on disk only once the folder is; a failure here cannot undo it.
void SyncFolder(const QString &file)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

AtomicFile::AtomicFile(QString path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::setSpaceForTesting(qint64 bytes)
{
    SpaceForTesting = bytes;
}

bool AtomicFile::fail(int error)
{
    if (!m_failed)
        setErrorString(QString::fromLocal8Bit(std::strerror(error)));
    m_failed = true;
    return false;
}

bool AtomicFile::open()
{
    if (isOpen())
        return false;
    m_failed = false;
    m_offset = m_size = 0;
    m_path = FileBehind(m_path);
    const QByteArray native = QFile::encodeName(m_path);
    mode_t mode = 0600;
    struct stat existing {};
    if (::stat(native.constData(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            return fail(EISDIR);
        if (!S_ISREG(existing.st_mode)) {
            fail(EINVAL);
            setErrorString(QStringLiteral("It is not a regular file"));
            return false;
        }
        if (::access(native.constData(), W_OK) != 0)
            return fail(errno);
        mode = existing.st_mode & 0600;
    }
    QByteArray copy = native + ".XXXXXX";
    m_fd = ::mkostemp(copy.data(), O_CLOEXEC);
    if (m_fd < 0)
        return fail(errno);
    m_copyPath = QFile::decodeName(copy);
    if (::fchmod(m_fd, mode) != 0) {
        fail(errno);
        discard();
        return false;
    }
    return QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 AtomicFile::writeData(const char *data, qint64 size)
{
    if (m_failed || m_fd < 0)
        return -1;
    const qint64 room = TakeSpace(size);
    qint64 done = 0;
    while (done < room) {
        const ssize_t written = ::pwrite(m_fd, data + done, size_t(room - done), off_t(m_offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            fail(written < 0 ? errno : EIO);
            return -1;
        }
        done += written;
    }
    if (room < size) {
        fail(ENOSPC);
        return -1;
    }
    m_offset += size;
    m_size = std::max(m_size, m_offset);
    return size;
}

bool AtomicFile::seek(qint64 position)
{
    if (!QIODevice::seek(position))
        return false;
    m_offset = position;
    return true;
}

bool AtomicFile::commit()
{
    if (!isOpen() || m_fd < 0)
        return false;
    if (!m_failed && ::fsync(m_fd) != 0)
        fail(errno);
    // Some file systems report a failed write only here.
    if (::close(m_fd) != 0)
        fail(errno);
    m_fd = -1;
    QIODevice::close();
    if (!m_failed && ::rename(QFile::encodeName(m_copyPath).constData(), QFile::encodeName(m_path).constData()) != 0)
        fail(errno);
    if (m_failed) {
        discard();
        return false;
    }
    m_copyPath.clear();
    SyncFolder(m_path);
    return true;
}

void AtomicFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_copyPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_copyPath).constData());
        m_copyPath.clear();
    }
    if (isOpen())
        QIODevice::close();
}

bool AtomicFile::writeWhole(const QString &path, QByteArrayView bytes, QString *why)
{
    AtomicFile file(path);
    const bool written = file.open() && file.write(bytes.data(), bytes.size()) == bytes.size() && file.commit();
    if (!written && why)
        *why = file.errorString();
    return written;
}

}  // namespace quillpad
