// The "Confirm Replace" dialog and how the desktop's Prompter shows it.

#include "interchange/ui/Dlg_ReplaceAsk.h"
#include "app/WidgetPrompter.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace quillpad;

namespace {

const QStringList Labels{QStringLiteral("Would you like to replace the existing task"),
                         QStringLiteral("row text"),
                         QStringLiteral("modified: row time"),
                         QStringLiteral("with this one?"),
                         QStringLiteral("<b>file</b> & text"),
                         QStringLiteral("modified: file time")};

PromptMessage Question()
{
    PromptMessage box;
    box.caption = QStringLiteral("Confirm Replace");
    box.form = PromptForm::ReplaceAsk;
    box.labels = Labels;
    box.text = Labels.join(QLatin1Char('\n'));
    box.buttons = {PromptButton::Yes, PromptButton::All, PromptButton::No, PromptButton::Abort};
    return box;
}

// Clicks the named button of the dialog once it is shown.
void ClickWhenShown(const char *button)
{
    QTimer::singleShot(0, qApp, [button] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<TReplaceAskDlg *>(widget); dialog && dialog->isVisible())
                dialog->findChild<QPushButton *>(QLatin1String(button))->click();
        }
    });
}

}  // namespace

class TestReplaceAskDlg : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void keysAndClosing();
    void shownByTheDesktopPrompter_data();
    void shownByTheDesktopPrompter();
};

void TestReplaceAskDlg::layout()
{
    TReplaceAskDlg dialog;
    dialog.Fill(Labels);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirm Replace"));

    // Labels top to bottom, texts as given and shown as plain text.
    QLabel *const labels[] = {dialog.Label_Caption, dialog.Label_oldTitle, dialog.Label_oldTime,
                              dialog.Label2,        dialog.Label_newTitle, dialog.Label_newTime};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(labels[i]->text(), Labels.at(i));
        QCOMPARE(labels[i]->textFormat(), Qt::PlainText);
        if (i > 0)
            QVERIFY(labels[i]->y() > labels[i - 1]->y());
    }
    QCOMPARE(dialog.Label_oldTitle->palette().color(QPalette::WindowText), QColor(Qt::blue));

    // Buttons left to right; the tab order goes Yes, No, No to All, Abort, All; Yes has the focus.
    QPushButton *const buttons[] = {dialog.Button1, dialog.Button4, dialog.Button2, dialog.noToAllButton,
                                    dialog.Button3};
    QStringList texts;
    for (int i = 0; i < 5; ++i) {
        texts.append(buttons[i]->text());
        if (i > 0)
            QVERIFY(buttons[i]->x() > buttons[i - 1]->x());
    }
    QCOMPARE(texts, (QStringList{"&Yes", "&All", "&No", "N&o to All", "A&bort"}));
    QCOMPARE(dialog.Button1->nextInFocusChain(), dialog.Button2);
    QCOMPARE(dialog.Button2->nextInFocusChain(), dialog.noToAllButton);
    QCOMPARE(dialog.noToAllButton->nextInFocusChain(), dialog.Button3);
    QCOMPARE(dialog.Button3->nextInFocusChain(), dialog.Button4);
    QCOMPARE(dialog.focusWidget(), dialog.Button1);
}

void TestReplaceAskDlg::keysAndClosing()
{
    TReplaceAskDlg dialog;
    dialog.Fill(Labels);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);  // no cancel button: nothing happens
    QVERIFY(dialog.isVisible());
    dialog.close();  // the window's close button
    QCOMPARE(dialog.answer(), PromptButton::Cancel);

    dialog.Fill(Labels);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.Button2->setFocus();
    QTest::keyClick(dialog.Button2, Qt::Key_Return);  // Enter presses the focused button
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.answer(), PromptButton::No);
}

void TestReplaceAskDlg::shownByTheDesktopPrompter_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<PromptButton>("answer");
    QTest::newRow("Yes") << QStringLiteral("Button1") << PromptButton::Yes;
    QTest::newRow("All") << QStringLiteral("Button4") << PromptButton::All;
    QTest::newRow("No") << QStringLiteral("Button2") << PromptButton::No;
    QTest::newRow("Abort") << QStringLiteral("Button3") << PromptButton::Abort;
}

void TestReplaceAskDlg::shownByTheDesktopPrompter()
{
    QFETCH(QString, button);
    QFETCH(PromptButton, answer);
    const QByteArray name = button.toLatin1();
    ClickWhenShown(name.constData());
    WidgetPrompter prompter;
    QCOMPARE(prompter.message(Question()), answer);
}

QTEST_MAIN(TestReplaceAskDlg)
#include "tst_interchange_replaceask.moc"
