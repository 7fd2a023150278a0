// The form state component: a window's normal rectangle and maximised state through an
// INI section, as shown, saved and restored.

#include "app/settings/IniFile.h"
#include "components/ui/QvFormState.h"
#include "support/ScriptedPrompter.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace quillpad;

namespace {

struct FormFixture {
    FormFixture()
    {
        ini = dir.filePath(QStringLiteral("qvConf.ini"));
        window.resize(446, 545);
        state = new TQvFormState(&window);
        state->setSection(QStringLiteral("form"));
        state->setIniPath(ini);
        state->OnSaveState = [this](TQvFormState *) { ++saves; };
        state->OnRestoreState = [this](TQvFormState *) { ++restores; };
    }

    QString value(const QString &key) const { return IniFile(ini).readString(QStringLiteral("form"), key); }
    void write(const QString &key, int number) { IniFile(ini).writeInteger(QStringLiteral("form"), key, number); }

    QTemporaryDir dir;
    QString ini;
    ScriptedPrompter prompter;
    QWidget window;
    TQvFormState *state = nullptr;
    int saves = 0;
    int restores = 0;
};

}  // namespace

class TestFormState : public QObject {
    Q_OBJECT

private slots:
    void firstRunKeepsTheDesignedSize()
    {
        FormFixture f;
        f.window.show();
        QCOMPARE(f.restores, 1);
        QCOMPARE(f.window.size(), QSize(446, 545));
        QVERIFY(!QFile::exists(f.ini));  // restoring reads only
    }

    void savedRectangleComesBack()
    {
        FormFixture f;
        f.window.show();
        f.window.setGeometry(40, 50, 300, 200);
        f.state->SaveState();
        QCOMPARE(f.saves, 1);
        QCOMPARE(f.value(QStringLiteral("Saved")), QStringLiteral("1"));
        QCOMPARE(f.value(QStringLiteral("Maximized")), QStringLiteral("0"));
        QCOMPARE(f.value(QStringLiteral("Left")), QStringLiteral("40"));
        QCOMPARE(f.value(QStringLiteral("Top")), QStringLiteral("50"));
        QCOMPARE(f.value(QStringLiteral("Right")), QStringLiteral("340"));
        QCOMPARE(f.value(QStringLiteral("Bottom")), QStringLiteral("250"));

        // Closing saves, showing again restores.
        f.window.close();
        QCOMPARE(f.saves, 2);
        f.window.setGeometry(10, 10, 100, 100);
        f.window.show();
        QCOMPARE(f.window.geometry(), QRect(40, 50, 300, 200));
    }

    void maximisedRoundTrip()
    {
        FormFixture f;
        f.window.show();
        f.window.setGeometry(40, 50, 300, 200);
        f.window.showMaximized();
        f.window.close();
        QCOMPARE(f.value(QStringLiteral("Maximized")), QStringLiteral("1"));
        QCOMPARE(f.value(QStringLiteral("Right")), QStringLiteral("340"));  // the normal rectangle

        QWidget again;
        TQvFormState state(&again);
        state.setSection(QStringLiteral("form"));
        state.setIniPath(f.ini);
        again.show();
        QVERIFY(again.isMaximized());
        again.showNormal();
        QCOMPARE(again.geometry(), QRect(40, 50, 300, 200));
    }

    void cornerOnNoScreenMovesToTheOrigin()
    {
        FormFixture f;
        f.write(QStringLiteral("Left"), 50000);
        f.write(QStringLiteral("Top"), 40000);
        f.write(QStringLiteral("Right"), 50300);
        f.write(QStringLiteral("Bottom"), 40200);
        f.window.show();
        QCOMPARE(f.window.frameGeometry().topLeft(), QPoint(0, 0));
        QCOMPARE(f.window.size(), QSize(300, 200));
    }

    void fixedBorderKeepsItsOwnSize()
    {
        FormFixture f;
        f.window.setFixedSize(320, 240);
        f.write(QStringLiteral("Left"), 30);
        f.write(QStringLiteral("Top"), 20);
        f.write(QStringLiteral("Right"), 999);
        f.write(QStringLiteral("Bottom"), 999);
        f.window.show();
        QCOMPARE(f.window.geometry(), QRect(30, 20, 320, 240));

        QFile::remove(f.ini);
        f.state->SaveState();
        QVERIFY(f.value(QStringLiteral("Right")).isEmpty());
        QVERIFY(f.value(QStringLiteral("Bottom")).isEmpty());
        QCOMPARE(f.value(QStringLiteral("Left")), QStringLiteral("30"));
    }

    void disabledOrNoFormDoesNothing()
    {
        FormFixture f;
        f.state->setEnabled(false);
        f.write(QStringLiteral("Left"), 70);
        f.window.show();
        f.window.close();
        QCOMPARE(f.saves + f.restores, 0);
        QVERIFY(f.value(QStringLiteral("Saved")).isEmpty());
        QVERIFY(f.window.geometry().left() != 70);

        QWidget child(&f.window);
        TQvFormState onChild(&child);
        int events = 0;
        onChild.OnSaveState = [&](TQvFormState *) { ++events; };
        onChild.setIniPath(f.ini);
        onChild.setSection(QStringLiteral("child"));
        onChild.SaveState();
        onChild.RestoreState();
        QCOMPARE(events, 0);
        QVERIFY(IniFile(f.ini).readString(QStringLiteral("child"), QStringLiteral("Saved")).isEmpty());
    }

    void refusedWriteIsReportedAndTheSaveGoesOn()
    {
        FormFixture f;
        f.state->setIniPath(f.dir.filePath(QStringLiteral("missing/qvConf.ini")));
        f.window.show();
        f.state->SaveState();
        QCOMPARE(f.saves, 1);
        QCOMPARE(f.prompter.messages.size(), 1);
        QCOMPARE(f.prompter.messages.first().caption, QStringLiteral("Error"));
        QVERIFY(f.prompter.messages.first().text.startsWith(QStringLiteral("Unable to write to ")));
    }
};

QTEST_MAIN(TestFormState)
#include "tst_formstate.moc"
