// The user manual: every page is reachable from the start page, every link and picture
// in it resolves (anchors too), every F1 topic lands on an anchor, and the copy beside
// the program is complete.

#include "app/HelpTopics.h"
#include "store/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QUrl>

using namespace quillpad;

namespace {

const QString SourceFolder = QStringLiteral(QUILLPAD_MANUAL_SOURCE);

struct Page {
    QSet<QString> ids;
    QStringList references;  // every href and src, as written
};

QHash<QString, Page> ReadManual(const QString &folder)
{
    static const QRegularExpression id(QStringLiteral(R"re(\bid\s*=\s*"([^"]+)")re"));
    static const QRegularExpression reference(QStringLiteral(R"re(\b(?:href|src)\s*=\s*"([^"]*)")re"));
    QHash<QString, Page> pages;
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(folder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(file.readAll());
        Page page;
        for (auto match = id.globalMatch(text); match.hasNext();)
            page.ids.insert(match.next().captured(1));
        for (auto match = reference.globalMatch(text); match.hasNext();)
            page.references.append(match.next().captured(1));
        pages.insert(name, page);
    }
    return pages;
}

// Empty when the reference resolves; otherwise what is wrong with it.
QString Check(const QHash<QString, Page> &pages, const QString &from, const QString &reference)
{
    const QUrl url(reference);
    if (!url.scheme().isEmpty())
        return url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("mailto")
                   ? QString()
                   : QStringLiteral("an address the manual cannot hold");
    const QString file = url.path().isEmpty() ? from : url.path();
    // The manual is one folder that can be copied anywhere: nothing outside it.
    if (file.startsWith(QLatin1Char('/')) || file.contains(QLatin1String("..")) ||
        !QFile::exists(SourceFolder + QLatin1Char('/') + file))
        return QStringLiteral("no file ") + file;
    if (url.hasFragment() && !pages.value(file).ids.contains(url.fragment()))
        return QStringLiteral("no anchor ") + url.fragment() + QStringLiteral(" in ") + file;
    return {};
}

}  // namespace

class TestAppManual : public QObject {
    Q_OBJECT

private slots:
    void everyLinkResolves()
    {
        const auto pages = ReadManual(SourceFolder);
        const QString start = HelpTopics::StartPage.section(QLatin1Char('/'), -1);
        QVERIFY(pages.contains(start));
        QStringList faults;
        for (auto page = pages.cbegin(); page != pages.cend(); ++page) {
            for (const QString &reference : page->references) {
                const QString fault = Check(pages, page.key(), reference);
                if (!fault.isEmpty())
                    faults.append(page.key() + QStringLiteral(": ") + reference + QStringLiteral(": ") + fault);
            }
        }
        QCOMPARE(faults, QStringList{});
    }

    void everyPageIsReachableFromTheStartPage()
    {
        const auto pages = ReadManual(SourceFolder);
        QSet<QString> reached{HelpTopics::StartPage.section(QLatin1Char('/'), -1)};
        QStringList open(reached.cbegin(), reached.cend());
        while (!open.isEmpty()) {
            for (const QString &reference : pages.value(open.takeFirst()).references) {
                const QUrl url(reference);
                if (url.scheme().isEmpty() && url.path().endsWith(QLatin1String(".html")) && !reached.contains(url.path())) {
                    reached.insert(url.path());
                    open.append(url.path());
                }
            }
        }
        QStringList unreached;
        for (const QString &name : pages.keys())
            if (!reached.contains(name))
                unreached.append(name);
        QCOMPARE(unreached, QStringList{});
    }

    void everyHelpTopicResolves()
    {
        const auto pages = ReadManual(SourceFolder);
        QSet<int> contexts;
        for (const HelpTopics::Topic &topic : HelpTopics::All()) {
            QVERIFY2(!contexts.contains(topic.context), topic.object);
            contexts.insert(topic.context);
            QVERIFY2(QString::fromLatin1(topic.page).contains(QLatin1Char('#')), topic.page);
            const QString fault = Check(pages, QString(), QString::fromLatin1(topic.page));
            QVERIFY2(fault.isEmpty(), qPrintable(QString::fromLatin1(topic.object) + QStringLiteral(": ") + fault));
        }
    }

    void theManualIsBesideTheProgram()
    {
        // The test runs from the program's folder, where the build copies the manual.
        QVERIFY(QFile::exists(Paths::ProgramFolder() + HelpTopics::StartPage));
        const QString copy = QFileInfo(Paths::ProgramFolder() + HelpTopics::StartPage).absolutePath();
        QStringList missing;
        QDirIterator files(SourceFolder, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString name = QDir(SourceFolder).relativeFilePath(files.next());
            if (!QFile::exists(copy + QLatin1Char('/') + name))
                missing.append(name);
        }
        QCOMPARE(missing, QStringList{});
    }
};

QTEST_GUILESS_MAIN(TestAppManual)
#include "tst_app_manual.moc"
