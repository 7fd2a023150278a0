#pragma once
// The one way the program writes a file: into a copy beside it, checked at every write
// (a short one too), synced to the disk, and renamed over the file only when all of it
// is there. A full disk or any other failure leaves the old file as it was and takes the
// copy away.
//
// What we write holds tasks, settings or a password, so the file gets mode 0600 (an
// existing file's stricter mode stays). A link is followed: the file it leads to is the
// one replaced. An existing file that is not a regular file, or that may not be
// written, is refused.

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

namespace quillpad {

class AtomicFile : public QIODevice {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile() override;  // without a commit the copy goes and the file stays
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Makes the copy beside the file. False (errorString() says why) when it cannot.
    bool open();
    // Puts the copy in place. False when anything failed since open (a write, the sync,
    // the rename): the file is then as it was before.
    bool commit();
    // Without a commit: the copy goes, the file stays.
    void close() override { discard(); }

    bool isSequential() const override { return false; }
    bool seek(qint64 position) override;
    qint64 size() const override { return m_size; }

    // The file's new contents, all at once. False (and the reason in `why`) when it
    // could not be written; the old file stays.
    static bool writeWhole(const QString &path, QByteArrayView bytes, QString *why = nullptr);

    // For tests: the disk takes `bytes` more through every AtomicFile together and then
    // refuses writes as a full disk does; a negative number takes the limit away.
    static void setSpaceForTesting(qint64 bytes);

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool fail(int error);
    void discard();

    QString m_path;       // the file replaced: a link's target
    QString m_copyPath;
    int m_fd = -1;
    bool m_failed = false;
    qint64 m_offset = 0;
    qint64 m_size = 0;
};

}  // namespace quillpad
