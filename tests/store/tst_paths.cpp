// Where the program finds what ships with it and where it keeps the user's data.

#include "store/Paths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillpad;

namespace {

// A prefix with bin/ and share/ambrel-quillpad/, a private XDG_DATA_HOME and no
// QUILLPAD_HOME, restored afterwards.
class Layout {
public:
    Layout() : m_oldHome(qgetenv(Paths::DataFolderVariable)), m_oldXdg(qgetenv("XDG_DATA_HOME"))
    {
        QDir root(m_root.path());
        root.mkpath(QStringLiteral("bin"));
        root.mkpath(QStringLiteral("share/ambrel-quillpad/Images"));
        root.mkpath(QStringLiteral("xdg"));
        qunsetenv(Paths::DataFolderVariable);
        qputenv("XDG_DATA_HOME", path(QStringLiteral("xdg")).toUtf8());
    }
    ~Layout()
    {
        Restore(Paths::DataFolderVariable, m_oldHome);
        Restore("XDG_DATA_HOME", m_oldXdg);
    }

    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QString folder(const QString &relative) const { return path(relative) + QLatin1Char('/'); }

    // Creates files (or, ending in "/", folders) in a folder of the layout.
    void create(const QString &folder, const QStringList &entries) const
    {
        for (const QString &entry : entries) {
            const QString target = path(folder + QLatin1Char('/') + entry);
            if (entry.endsWith(QLatin1Char('/')))
                QVERIFY(QDir().mkpath(target));
            else
                QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        }
    }

private:
    static void Restore(const char *name, const QByteArray &value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QTemporaryDir m_root;
    QByteArray m_oldHome;
    QByteArray m_oldXdg;
};

}  // namespace

class TestPaths : public QObject {
    Q_OBJECT

private slots:
    void programFolder_data();
    void programFolder();
    void dataFolder_data();
    void dataFolder();
};

void TestPaths::programFolder_data()
{
    QTest::addColumn<QStringList>("besideExecutable");
    QTest::addColumn<QString>("expected");
    QTest::newRow("build or portable copy") << QStringList{QStringLiteral("quillpad"), QStringLiteral("Images/")}
                                            << QStringLiteral("bin");
    QTest::newRow("installed") << QStringList{QStringLiteral("quillpad")} << QStringLiteral("share/ambrel-quillpad");
    QTest::newRow("a file named Images is no folder of pictures")
        << QStringList{QStringLiteral("Images")} << QStringLiteral("share/ambrel-quillpad");
}

void TestPaths::programFolder()
{
    QFETCH(QStringList, besideExecutable);
    QFETCH(QString, expected);
    Layout layout;
    layout.create(QStringLiteral("bin"), besideExecutable);
    QCOMPARE(Paths::ProgramFolderFor(layout.path(QStringLiteral("bin"))), layout.folder(expected));
}

void TestPaths::dataFolder_data()
{
    QTest::addColumn<QStringList>("inProgramFolder");
    QTest::addColumn<bool>("override");
    QTest::addColumn<QString>("expected");
    const QString program = QStringLiteral("bin");
    const QString xdg = QStringLiteral("xdg/ambrel-quillpad");
    const QString home = QStringLiteral("home");
    QTest::newRow("fresh build") << QStringList{QStringLiteral("Images/")} << false << xdg;
    QTest::newRow("a build that already holds a database")
        << QStringList{QStringLiteral("Images/"), QStringLiteral("qvData.qvb")} << false << program;
    QTest::newRow("marked portable") << QStringList{QStringLiteral("portable")} << false << program;
    QTest::newRow("settings alone make no portable copy") << QStringList{QStringLiteral("qvConf.ini")} << false << xdg;
    QTest::newRow("QUILLPAD_HOME over a portable copy")
        << QStringList{QStringLiteral("qvData.qvb"), QStringLiteral("portable")} << true << home;
    QTest::newRow("QUILLPAD_HOME over the XDG folder") << QStringList{} << true << home;
}

void TestPaths::dataFolder()
{
    QFETCH(QStringList, inProgramFolder);
    QFETCH(bool, override);
    QFETCH(QString, expected);
    Layout layout;
    layout.create(QStringLiteral("bin"), inProgramFolder);
    if (override)
        qputenv(Paths::DataFolderVariable, layout.path(QStringLiteral("home")).toUtf8());
    QCOMPARE(Paths::DataFolderFor(layout.path(QStringLiteral("bin"))), layout.folder(expected));
}

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
