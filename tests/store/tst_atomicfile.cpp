// The one file writer: a file is replaced whole or not at all, and privately.

#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

using namespace quillpad;

namespace {

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

mode_t ModeOf(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The space the test's disk has left goes back to unlimited with the test.
struct SpaceLimit {
    explicit SpaceLimit(qint64 bytes) { AtomicFile::setSpaceForTesting(bytes); }
    ~SpaceLimit() { AtomicFile::setSpaceForTesting(-1); }
};

}  // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    void fullDiskKeepsTheOldFile_data();
    void fullDiskKeepsTheOldFile();
    void replacesWholeAndPrivately_data();
    void replacesWholeAndPrivately();
    void writesThroughALinkAndSeeks();
    void refusesWhatItCannotReplace();

private:
    QTemporaryDir m_dir;
};

void TestAtomicFile::fullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<qint64>("space");
    QTest::addColumn<int>("pieces");
    QTest::newRow("no room at all") << qint64(0) << 1;
    QTest::newRow("room for part of one write") << qint64(4096) << 1;
    QTest::newRow("room for the first pieces") << qint64(12000) << 8;
    QTest::newRow("one byte short") << qint64(39999) << 4;
}

// A write the disk takes only in part (as write(2) does before ENOSPC) or not at all
// fails, so does the commit, and the old file stays as it was with no copy beside it.
void TestAtomicFile::fullDiskKeepsTheOldFile()
{
    QFETCH(qint64, space);
    QFETCH(int, pieces);
    const QString path = m_dir.filePath(QStringLiteral("tasks.txt"));
    const QByteArray old = "the old tasks\n";
    WriteFile(path, old);
    const QByteArray text(40000, 'x');

    SpaceLimit limit(space);
    AtomicFile file(path);
    QVERIFY(file.open());
    bool everyWrite = true;
    const qsizetype piece = text.size() / pieces;
    for (int i = 0; i < pieces; ++i)
        everyWrite = file.write(text.constData() + i * piece, piece) == piece && everyWrite;
    QVERIFY(!everyWrite);
    QVERIFY(!file.commit());
    QCOMPARE(file.errorString(), QString::fromLocal8Bit(std::strerror(ENOSPC)));
    QCOMPARE(ReadFile(path), old);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("tasks.txt")});

    QString why;
    QVERIFY(!AtomicFile::writeWhole(path, text, &why));
    QVERIFY(!why.isEmpty());
    QCOMPARE(ReadFile(path), old);
}

void TestAtomicFile::replacesWholeAndPrivately_data()
{
    QTest::addColumn<int>("before");  // mode of the old file; 0 for none
    QTest::addColumn<int>("after");
    QTest::newRow("new file") << 0 << 0600;
    QTest::newRow("readable by all") << 0644 << 0600;
    QTest::newRow("stricter: owner writes only") << 0200 << 0200;
}

void TestAtomicFile::replacesWholeAndPrivately()
{
    QFETCH(int, before);
    QFETCH(int, after);
    const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile::remove(path);
    if (before != 0) {
        WriteFile(path, "old and longer than the new\n");
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(before)), 0);
    }
    QVERIFY(AtomicFile::writeWhole(path, "new\n"));
    QCOMPARE(int(ModeOf(path)), after);
    ::chmod(QFile::encodeName(path).constData(), 0600);
    QCOMPARE(ReadFile(path), QByteArray("new\n"));
}

// The link stays and its target gets the text; a header written last over the start,
// as the compressed container does, lands where it belongs.
void TestAtomicFile::writesThroughALinkAndSeeks()
{
    const QString target = m_dir.filePath(QStringLiteral("real.qvx"));
    const QString link = m_dir.filePath(QStringLiteral("link.qvx"));
    WriteFile(target, "old");
    QVERIFY(QFile::link(target, link));
    AtomicFile file(link);
    QVERIFY(file.open());
    QCOMPARE(file.write("????body"), 8);
    QVERIFY(file.seek(0));
    QCOMPARE(file.write("head"), 4);
    QCOMPARE(file.size(), 8);
    QVERIFY(file.commit());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(ReadFile(target), QByteArray("headbody"));
}

void TestAtomicFile::refusesWhatItCannotReplace()
{
    const QString folder = m_dir.filePath(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(folder));
    QString why;
    QVERIFY(!AtomicFile::writeWhole(folder, "x", &why));
    QCOMPARE(why, QString::fromLocal8Bit(std::strerror(EISDIR)));
    QVERIFY(!AtomicFile::writeWhole(m_dir.filePath(QStringLiteral("missing/file.txt")), "x", &why));
    QCOMPARE(why, QString::fromLocal8Bit(std::strerror(ENOENT)));
    // Uncommitted, nothing is left behind.
    {
        AtomicFile file(m_dir.filePath(QStringLiteral("dropped.txt")));
        QVERIFY(file.open());
        QCOMPARE(file.write("half"), 4);
    }
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("dropped.txt"))));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("dropped")), QStringList());
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
