// The program's own version values, and what another file gives.

#include "store/AppError.h"
#include "components/QvVersionInfo.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <QTest>

using namespace quillpad;

class TestVersionInfo : public QObject {
    Q_OBJECT

private slots:
    void ownValues();
    void otherFileHasNone();
    void indexOutOfRangeRaises();
};

void TestVersionInfo::ownValues()
{
    TQvVersionInfo info;
    QVERIFY(info.available());
    QCOMPARE(info.FilePath(), QCoreApplication::applicationFilePath());
    QCOMPARE(info.GetValue(2), QStringLiteral(QUILLPAD_EXPECTED_VERSION));
    QCOMPARE(info.GetValue(TQvVersionInfo::FileDescription), QStringLiteral("Ambrel Quillpad"));
    QCOMPARE(info.GetValue(TQvVersionInfo::ProductName), QStringLiteral("Ambrel Quillpad"));
    QCOMPARE(QString::fromLatin1(TQvVersionInfo::Keys[2]), QStringLiteral("FileVersion"));
}

void TestVersionInfo::otherFileHasNone()
{
    QTemporaryFile other;
    QVERIFY(other.open());
    TQvVersionInfo info;
    info.SetFilePath(other.fileName());
    QVERIFY(!info.available());
    for (int i = 0; i < TQvVersionInfo::ValueCount; ++i)
        QCOMPARE(info.GetValue(i), QStringLiteral("Value Not Available"));
    info.SetFilePath(QCoreApplication::applicationFilePath());
    QCOMPARE(info.GetValue(TQvVersionInfo::FileVersion), QStringLiteral(QUILLPAD_EXPECTED_VERSION));
}

void TestVersionInfo::indexOutOfRangeRaises()
{
    TQvVersionInfo info;
    QVERIFY_THROWS_EXCEPTION(AppError, info.GetValue(10));
    QVERIFY_THROWS_EXCEPTION(AppError, info.GetValue(-1));
}

QTEST_GUILESS_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
