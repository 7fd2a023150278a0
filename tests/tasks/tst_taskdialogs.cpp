// The task dialogs driven offscreen: "Set Reminder", the alarm window "Task Reminder"
// with its snooze choices and sound, "Set Due Date" and "Set Color", each also as the
// desktop's Prompter shows it.

#include "store/Clock.h"
#include "tasks/ui/dialogs/Dlg_ColorSet.h"
#include "tasks/ui/dialogs/Dlg_DueSet.h"
#include "tasks/ui/dialogs/Dlg_ReminderSet.h"
#include "tasks/ui/dialogs/Dlg_taskReminder.h"
#include "support/RecordingDesktopServices.h"
#include "support/ScriptedPrompter.h"
#include "tasks/ui/dialogs/SnoozeChoices.h"
#include "tasks/StoredColor.h"
#include "app/WidgetPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

using namespace quillpad;

namespace {

// Milliseconds are part of "now": the proposals must carry them over exactly.
const QDateTime Now(QDate(2024, 3, 14), QTime(10, 20, 30, 456));

qint64 Ms(TDateTime value)
{
    return DateTimeToMs(value);
}

TDateTime At(const QDate &date, const QTime &time)
{
    return EncodeDateTime(date, time);
}

// Runs `act` on the modal dialog once its event loop runs.
template <typename Dialog, typename Act>
void WhenShown(Act act)
{
    QTimer::singleShot(0, qApp, [act] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        act(dialog);
    });
}

}  // namespace

class TestTaskDialogs : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reminderProposesTheSameTimeTomorrow();
    void reminderShowsItsOwnTime();
    void reminderWarning_data();
    void reminderWarning();
    void reminderOffStillGivesThePickersDateTime();
    void reminderKeepsItsSizeWithTheWarning();
    void reminderThroughThePrompter();

    void snoozeTable_data();
    void snoozeTable();
    void alarmWindow();
    void alarmAnswers();
    void alarmClosedOtherwise();

    void dueProposesToday();
    void dueTodayOrEarlierIsQuestioned();
    void dueTomorrowWithoutQuestion();
    void dueKeepsItsOwnTimeOfDay();
    void dueThroughThePrompter();

    void colorStart_data();
    void colorStart();
    void colorChoices();
    void colorThroughThePrompter();
    void storedColors();

private:
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<RecordingDesktopServices> m_desktop;
};

void TestTaskDialogs::init()
{
    m_clock = std::make_unique<ManualClock>(Now);
    Clock::install(m_clock.get());
    m_prompter = std::make_unique<ScriptedPrompter>();
    m_desktop = std::make_unique<RecordingDesktopServices>();
}

void TestTaskDialogs::cleanup()
{
    m_desktop.reset();
    m_prompter.reset();
    Clock::install(nullptr);
    m_clock.reset();
}

// --- Set Reminder ------------------------------------------------------------------

void TestTaskDialogs::reminderProposesTheSameTimeTomorrow()
{
    TReminderSetDlg dialog({false, At(QDate(2020, 1, 1), QTime(9, 0))});
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Reminder"));
    QVERIFY(!dialog.cb_reminder->isChecked());
    QCOMPARE(dialog.cb_reminder->text(), QStringLiteral("Enable Reminder"));
    QCOMPARE(dialog.edt_date->date(), QDate(2024, 3, 15));
    QCOMPARE(dialog.edt_time->time(), Now.time());
    QCOMPARE(Ms(dialog.combinedDateTime()), Ms(DateTimeFromQt(Now)) + MsPerDay);
    QCOMPARE(dialog.focusWidget(), dialog.cb_reminder);
    QVERIFY(dialog.lbl_warning->isHidden());
    QVERIFY(dialog.Image1->isHidden());
}

void TestTaskDialogs::reminderShowsItsOwnTime()
{
    const TDateTime own = At(QDate(2024, 5, 1), QTime(7, 45, 12));
    TReminderSetDlg dialog({true, own});
    dialog.show();
    QVERIFY(dialog.cb_reminder->isChecked());
    QCOMPARE(dialog.edt_date->date(), QDate(2024, 5, 1));
    QCOMPARE(dialog.edt_time->time(), QTime(7, 45, 12));
    QVERIFY(dialog.lbl_warning->isHidden());

    // OK without touching anything gives the same reminder back.
    dialog.btn_ok->click();
    QCOMPARE(dialog.answer().enabled, true);
    QCOMPARE(Ms(dialog.answer().when), Ms(own));
}

void TestTaskDialogs::reminderWarning_data()
{
    QTest::addColumn<bool>("startEnabled");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("checked");  // after the change
    QTest::addColumn<bool>("warning");

    // Moving a picker checks the box, so even an unchecked start warns about the past.
    QTest::newRow("unchecked, time moved to now") << false << Now.date() << Now.time() << true << true;
    QTest::newRow("checked, a minute ago") << true << Now.date() << Now.time().addSecs(-60) << true << true;
    QTest::newRow("checked, exactly now") << true << Now.date() << Now.time() << true << true;
    QTest::newRow("checked, a millisecond later") << true << Now.date() << Now.time().addMSecs(1) << true << false;
    QTest::newRow("checked, yesterday later in the day") << true << Now.date().addDays(-1) << QTime(23, 0) << true
                                                         << true;
    QTest::newRow("checked, tomorrow earlier in the day") << true << Now.date().addDays(1) << QTime(1, 0) << true
                                                          << false;
}

void TestTaskDialogs::reminderWarning()
{
    QFETCH(bool, startEnabled);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(bool, checked);
    QFETCH(bool, warning);

    // A checked start lies in the past and warns at once; the pickers then move.
    TReminderSetDlg dialog({startEnabled, At(QDate(2024, 3, 1), QTime(8, 0))});
    dialog.show();
    QCOMPARE(dialog.lbl_warning->isVisible(), startEnabled);
    dialog.edt_date->setDate(date);
    dialog.edt_time->setTime(time);
    QCOMPARE(dialog.cb_reminder->isChecked(), checked);
    QCOMPARE(dialog.lbl_warning->isVisible(), warning);
    QCOMPARE(dialog.Image1->isVisible(), warning);

    // Unchecking by a click hides it; a past time is still accepted.
    dialog.cb_reminder->click();
    QVERIFY(dialog.lbl_warning->isHidden());
    dialog.cb_reminder->click();
    QCOMPARE(dialog.lbl_warning->isVisible(), warning);
    dialog.btn_ok->click();
    QCOMPARE(dialog.answer().enabled, true);
    QCOMPARE(Ms(dialog.answer().when), Ms(At(date, time)));
}

void TestTaskDialogs::reminderKeepsItsSizeWithTheWarning()
{
    TReminderSetDlg dialog({false, ZeroDateTime});
    dialog.show();
    QApplication::processEvents();
    QVERIFY(dialog.lbl_warning->isHidden());
    const QSize quiet = dialog.size();
    dialog.edt_date->setDate(Now.date().addDays(-1));
    QApplication::processEvents();
    QVERIFY(dialog.lbl_warning->isVisible());
    QCOMPARE(dialog.size(), quiet);
    dialog.edt_date->setDate(Now.date().addDays(2));
    QApplication::processEvents();
    QVERIFY(dialog.lbl_warning->isHidden());
    QCOMPARE(dialog.size(), quiet);
}

void TestTaskDialogs::reminderOffStillGivesThePickersDateTime()
{
    TReminderSetDlg dialog({true, At(QDate(2024, 4, 2), QTime(6, 30))});
    dialog.show();
    dialog.edt_time->setTime(QTime(18, 5, 9));
    dialog.cb_reminder->click();
    QVERIFY(!dialog.cb_reminder->isChecked());
    dialog.btn_ok->click();
    QCOMPARE(dialog.answer().enabled, false);
    QCOMPARE(Ms(dialog.answer().when), Ms(At(QDate(2024, 4, 2), QTime(18, 5, 9))));
}

void TestTaskDialogs::reminderThroughThePrompter()
{
    WidgetPrompter prompter;
    const ReminderChoice start{false, ZeroDateTime};

    ReminderChoice choice = start;
    WhenShown<TReminderSetDlg>([](TReminderSetDlg *dialog) { dialog->Button2->click(); });
    QVERIFY(!prompter.askReminder(choice));
    QCOMPARE(choice.enabled, false);
    QCOMPARE(choice.when, ZeroDateTime);

    WhenShown<TReminderSetDlg>([](TReminderSetDlg *dialog) {
        dialog->cb_reminder->click();
        dialog->btn_ok->click();
    });
    QVERIFY(prompter.askReminder(choice));
    QCOMPARE(choice.enabled, true);
    QCOMPARE(Ms(choice.when), Ms(DateTimeFromQt(Now)) + MsPerDay);
}

// --- The alarm window ------------------------------------------------------------------

void TestTaskDialogs::snoozeTable_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<qint64>("ms");

    const qint64 minute = 60'000, hour = 60 * minute, day = MsPerDay;
    const std::pair<const char *, qint64> table[] = {
        {"5 Minutes", 5 * minute}, {"10 Minutes", 10 * minute}, {"15 Minutes", 15 * minute},
        {"30 Minutes", 30 * minute}, {"45 Minutes", 45 * minute}, {"1 Hour", hour},
        {"2 Hours", 2 * hour}, {"3 Hours", 3 * hour}, {"4 Hours", 4 * hour},
        {"5 Hours", 5 * hour}, {"6 Hours", 6 * hour}, {"7 Hours", 7 * hour},
        {"8 Hours", 8 * hour}, {"1 Day", day}, {"2 Days", 2 * day},
        {"3 Days", 3 * day}, {"4 Days", 4 * day}, {"5 Days", 5 * day},
        {"6 Days", 6 * day}, {"1 Week", 7 * day}, {"2 Weeks", 14 * day},
        {"3 Weeks", 21 * day},
    };
    int index = 0;
    for (const auto &[entry, ms] : table) {
        QTest::addRow("%d %s", index, entry) << index << QString::fromLatin1(entry) << ms;
        ++index;
    }
}

void TestTaskDialogs::snoozeTable()
{
    QFETCH(int, index);
    QFETCH(QString, entry);
    QFETCH(qint64, ms);

    TtaskReminderDlg dialog(QStringLiteral("task"), QStringLiteral("alarm.wav"));
    dialog.show();
    QCOMPARE(dialog.comb_Snooze->count(), 22);
    QCOMPARE(dialog.comb_Snooze->itemText(index), entry);
    QCOMPARE(SnoozeDurationMs(index), ms);

    // Snooze counts from the moment it is pressed, not from when the window opened.
    m_clock->advanceMs(90'123);
    const TDateTime pressed = Clock::nowDateTime();
    dialog.comb_Snooze->setCurrentIndex(index);
    dialog.btn_snooze->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.answer().dismissed, false);
    QCOMPARE(Ms(dialog.answer().next) - Ms(pressed), ms);
    if (entry == QLatin1String("1 Week"))
        QCOMPARE(DateTimeToQt(dialog.answer().next), m_clock->currentDateTime().addDays(7));
}

void TestTaskDialogs::alarmWindow()
{
    TtaskReminderDlg dialog(QStringLiteral("first line\r\nsecond line"), QStringLiteral("/sounds/Alarm.wav"));
    QVERIFY(m_desktop->sounds.isEmpty());
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Task Reminder"));
    QCOMPARE(dialog.Memo1->toPlainText(), QStringLiteral("first line\nsecond line"));
    QVERIFY(dialog.Memo1->isReadOnly());
    QCOMPARE(dialog.comb_Snooze->currentIndex(), 0);
    QCOMPARE(dialog.comb_Snooze->currentText(), QStringLiteral("5 Minutes"));
    QCOMPARE(dialog.btn_dismiss->text(), QStringLiteral("Dismiss"));
    QCOMPARE(dialog.btn_dismiss->toolTip(), QStringLiteral("Dismiss reminder"));
    QCOMPARE(dialog.btn_snooze->text(), QStringLiteral("Snooze"));
    bool labelFound = false;
    for (const QLabel *label : dialog.findChildren<QLabel *>())
        labelFound |= label->text() == QStringLiteral("Click \"Snooze\" to be alarmed again in:");
    QVERIFY(labelFound);

    // Above other programs and without a close box; the sound plays once, on showing.
    QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    // A title bar naming none of its boxes gets every box, the close box included, from
    // an X window manager: the minimise box is the one named.
    QVERIFY(dialog.windowFlags() & Qt::WindowTitleHint);
    QVERIFY(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!dialog.parentWidget());
    QCOMPARE(m_desktop->sounds, QStringList{QStringLiteral("/sounds/Alarm.wav")});

    // Esc does not make it go away.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_desktop->sounds.size(), 1);
}

void TestTaskDialogs::alarmAnswers()
{
    WidgetPrompter prompter;
    WhenShown<TtaskReminderDlg>([](TtaskReminderDlg *dialog) { dialog->btn_dismiss->click(); });
    AlarmAnswer answer = prompter.ringAlarm(QStringLiteral("task"), QStringLiteral("a.wav"));
    QCOMPARE(answer.dismissed, true);
    QCOMPARE(answer.next, ZeroDateTime);

    WhenShown<TtaskReminderDlg>([](TtaskReminderDlg *dialog) {
        dialog->comb_Snooze->setCurrentIndex(SnoozeEntries().indexOf(QStringLiteral("2 Hours")));
        dialog->btn_snooze->click();
    });
    answer = prompter.ringAlarm(QStringLiteral("task"), QStringLiteral("b.wav"));
    QCOMPARE(answer.dismissed, false);
    QCOMPARE(Ms(answer.next), Ms(DateTimeFromQt(Now)) + 2 * 3'600'000);
    QCOMPARE(m_desktop->sounds, (QStringList{"a.wav", "b.wav"}));

    // An index outside the list snoozes one day.
    QCOMPARE(SnoozeDurationMs(-1), MsPerDay);
    QCOMPARE(SnoozeDurationMs(22), MsPerDay);
    QCOMPARE(Ms(SnoozeUntil(DateTimeFromQt(Now), 99)), Ms(DateTimeFromQt(Now)) + MsPerDay);
}

void TestTaskDialogs::alarmClosedOtherwise()
{
    // The window manager's close: the reminder stays on, with the zero date-time.
    WidgetPrompter prompter;
    WhenShown<TtaskReminderDlg>([](TtaskReminderDlg *dialog) {
        dialog->comb_Snooze->setCurrentIndex(5);
        dialog->close();
    });
    const AlarmAnswer answer = prompter.ringAlarm(QStringLiteral("task"), QString());
    QCOMPARE(answer.dismissed, false);
    QCOMPARE(answer.next, ZeroDateTime);
}

// --- Set Due Date ------------------------------------------------------------------------

void TestTaskDialogs::dueProposesToday()
{
    TDueSetDlg dialog({false, ZeroDateTime});
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Due Date"));
    QVERIFY(!dialog.cb_due->isChecked());
    QCOMPARE(dialog.edt_due->date(), Now.date());
    QCOMPARE(dialog.focusWidget(), dialog.edt_due);

    // Unchecked: no question, the picker's value still comes back.
    dialog.Btn_Ok->click();
    QVERIFY(m_prompter->messages.isEmpty());
    QCOMPARE(dialog.answer().enabled, false);
    QCOMPARE(Ms(dialog.answer().date), Ms(DateTimeFromQt(Now)));
}

void TestTaskDialogs::dueTodayOrEarlierIsQuestioned()
{
    // Checked and today: asked; Cancel there keeps the dialog open with nothing returned.
    TDueSetDlg dialog({false, ZeroDateTime});
    dialog.show();
    dialog.cb_due->click();
    m_prompter->setNextAnswer(PromptButton::Cancel);
    dialog.Btn_Ok->click();
    QCOMPARE(m_prompter->lines(), QStringList{QStringLiteral("Ask: Date may be incorrect, are you sure?")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.answer().date, ZeroDateTime);

    // A day in the past is accepted after OK.
    dialog.edt_due->setDate(Now.date().addDays(-3));
    m_prompter->setNextAnswer(PromptButton::Ok);
    dialog.Btn_Ok->click();
    QCOMPARE(m_prompter->messages.size(), 2);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.answer().enabled, true);
    QCOMPARE(Ms(dialog.answer().date), Ms(At(Now.date().addDays(-3), Now.time())));
}

void TestTaskDialogs::dueTomorrowWithoutQuestion()
{
    TDueSetDlg dialog({false, ZeroDateTime});
    dialog.show();
    dialog.edt_due->setDate(Now.date().addDays(1));
    QVERIFY(dialog.cb_due->isChecked());  // changing the date checks the box
    dialog.Btn_Ok->click();
    QVERIFY(m_prompter->messages.isEmpty());
    QCOMPARE(dialog.answer().enabled, true);
    QCOMPARE(Ms(dialog.answer().date), Ms(At(Now.date().addDays(1), Now.time())));
}

void TestTaskDialogs::dueKeepsItsOwnTimeOfDay()
{
    TDueSetDlg dialog({true, At(QDate(2024, 6, 1), QTime(8, 15))});
    dialog.show();
    QVERIFY(dialog.cb_due->isChecked());
    QCOMPARE(dialog.edt_due->date(), QDate(2024, 6, 1));
    dialog.edt_due->setDate(QDate(2024, 6, 2));
    dialog.Btn_Ok->click();
    QCOMPARE(Ms(dialog.answer().date), Ms(At(QDate(2024, 6, 2), QTime(8, 15))));
}

void TestTaskDialogs::dueThroughThePrompter()
{
    WidgetPrompter prompter;
    DueDateChoice choice{false, ZeroDateTime};
    WhenShown<TDueSetDlg>([](TDueSetDlg *dialog) { dialog->Button2->click(); });
    QVERIFY(!prompter.askDueDate(choice));
    QCOMPARE(choice.date, ZeroDateTime);

    WhenShown<TDueSetDlg>([](TDueSetDlg *dialog) {
        dialog->edt_due->setDate(Now.date().addDays(2));
        dialog->Btn_Ok->click();
    });
    QVERIFY(prompter.askDueDate(choice));
    QCOMPARE(choice.enabled, true);
    QCOMPARE(DateOf(choice.date), Now.date().addDays(2));
}

// --- Set Color ------------------------------------------------------------------------------

void TestTaskDialogs::colorStart_data()
{
    QTest::addColumn<qint32>("text");
    QTest::addColumn<qint32>("background");
    QTest::addColumn<QString>("textEntry");
    QTest::addColumn<QString>("backgroundEntry");

    QTest::newRow("default look") << 0 << 0 << "Black" << "White";
    QTest::newRow("red on cream") << 0x0000FF << 0xF0FBFF << "Red" << "Cream";
    QTest::newRow("own text, default background") << 0x800000 << 0 << "Navy" << "White";
    QTest::newRow("system colours") << SystemColorValue(8) << SystemColorValue(13) << "Window Text" << "Highlight";
}

void TestTaskDialogs::colorStart()
{
    QFETCH(qint32, text);
    QFETCH(qint32, background);
    QFETCH(QString, textEntry);
    QFETCH(QString, backgroundEntry);

    TColorSetDlg dialog({text, background});
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Color"));
    QCOMPARE(dialog.cb_text->isChecked(), text == 0);
    QCOMPARE(dialog.cb_bg->isChecked(), background == 0);
    QCOMPARE(dialog.cbox_text->isEnabled(), text != 0);
    QCOMPARE(dialog.cbox_bg->isEnabled(), background != 0);
    QCOMPARE(dialog.cbox_text->currentText(), textEntry);
    QCOMPARE(dialog.cbox_bg->currentText(), backgroundEntry);

    // The preview: black on white for the default look, the task's colours otherwise.
    const QPalette palette = dialog.palette();
    const QColor textColour = text == 0 ? QColor(Qt::black) : StoredColorToQColor(text, palette);
    const QColor backgroundColour = background == 0 ? QColor(Qt::white) : StoredColorToQColor(background, palette);
    QCOMPARE(dialog.Memo1->palette().color(QPalette::Text), textColour);
    QCOMPARE(dialog.Memo1->palette().color(QPalette::Base), backgroundColour);
    QVERIFY(dialog.Memo1->isReadOnly());
    QCOMPARE(dialog.Memo1->focusPolicy(), Qt::NoFocus);

    // OK unchanged gives the same colours back.
    dialog.btn_Ok->click();
    QCOMPARE(dialog.answer().text, text);
    QCOMPARE(dialog.answer().background, background);
}

void TestTaskDialogs::colorChoices()
{
    // Every box: 16 standard, 4 extended and the system colours, each by name.
    {
        TColorSetDlg dialog({0, 0});
        QCOMPARE(dialog.cbox_text->count(), 16 + 4 + SystemColors().size());
        QCOMPARE(dialog.cbox_text->itemText(0), QStringLiteral("Black"));
        QCOMPARE(dialog.cbox_text->itemText(16), QStringLiteral("Money Green"));
        QCOMPARE(dialog.cbox_text->itemText(19), QStringLiteral("Medium Gray"));
        QCOMPARE(dialog.cbox_text->itemText(20), SystemColors().front().name);
    }

    // Black stores 0: the next dialog shows the default look for it.
    {
        TColorSetDlg dialog({0x0000FF, 0});
        dialog.show();
        dialog.cbox_text->setCurrentIndex(dialog.cbox_text->findText(QStringLiteral("Black")));
        QCOMPARE(dialog.Memo1->palette().color(QPalette::Text), QColor(Qt::black));
        dialog.btn_Ok->click();
        QCOMPARE(dialog.answer().text, 0);
        TColorSetDlg again(dialog.answer());
        QVERIFY(again.cb_text->isChecked());
    }

    // A system colour is stored as a negative number; the preview follows each change.
    {
        TColorSetDlg dialog({0, 0});
        dialog.show();
        dialog.cb_bg->click();
        QVERIFY(dialog.cbox_bg->isEnabled());
        dialog.cbox_bg->setCurrentIndex(dialog.cbox_bg->findText(QStringLiteral("Highlight")));
        QCOMPARE(dialog.Memo1->palette().color(QPalette::Base), dialog.palette().color(QPalette::Highlight));
        dialog.cb_text->click();
        dialog.cbox_text->setCurrentIndex(dialog.cbox_text->findText(QStringLiteral("Sky Blue")));
        QCOMPARE(dialog.Memo1->palette().color(QPalette::Text), QColor(166, 202, 240));
        dialog.cb_text->click();  // back to the default: black in the preview, box off
        QVERIFY(!dialog.cbox_text->isEnabled());
        QCOMPARE(dialog.Memo1->palette().color(QPalette::Text), QColor(Qt::black));
        dialog.btn_Ok->click();
        QCOMPARE(dialog.answer().text, 0);
        QCOMPARE(dialog.answer().background, qint32(0xFF00000D));
        QCOMPARE(dialog.answer().background, -16777203);
    }

    // Default resets both, whatever the boxes show.
    {
        TColorSetDlg dialog({0x0000FF, 0x00FF00});
        dialog.show();
        dialog.btn_Default->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.answer().text, 0);
        QCOMPARE(dialog.answer().background, 0);
    }

    // A colour without a name (from an imported file) is kept unless another is picked.
    {
        TColorSetDlg dialog({0x123456, 0});
        QCOMPARE(dialog.cbox_text->currentText(), QStringLiteral("#563412"));
        dialog.btn_Ok->click();
        QCOMPARE(dialog.answer().text, 0x123456);
    }
}

void TestTaskDialogs::colorThroughThePrompter()
{
    WidgetPrompter prompter;
    ColorChoice choice{0x0000FF, 0};
    WhenShown<TColorSetDlg>([](TColorSetDlg *dialog) { dialog->Button2->click(); });
    QVERIFY(!prompter.askColors(choice));
    QCOMPARE(choice.text, 0x0000FF);

    WhenShown<TColorSetDlg>([](TColorSetDlg *dialog) { dialog->btn_Default->click(); });
    QVERIFY(prompter.askColors(choice));
    QCOMPARE(choice.text, 0);
    QCOMPARE(choice.background, 0);
}

void TestTaskDialogs::storedColors()
{
    QCOMPARE(StandardColors().size(), 16);
    QCOMPARE(ExtendedColors().size(), 4);
    QCOMPARE(QColorToStored(Qt::black), 0);
    QCOMPARE(QColorToStored(QColor(0x12, 0x34, 0x56)), 0x563412);
    QCOMPARE(StoredColorToQColor(0x563412, QPalette()), QColor(0x12, 0x34, 0x56));
    for (const NamedColor &color : SystemColors()) {
        QVERIFY2(color.stored < 0, qPrintable(color.name));
        QVERIFY(IsSystemColor(color.stored));
    }
    QVERIFY(!IsSystemColor(0xFFFFFF));

    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(1, 2, 3));
    palette.setColor(QPalette::Text, QColor(4, 5, 6));
    QCOMPARE(StoredColorToQColor(SystemColorValue(13), palette), QColor(1, 2, 3));
    QCOMPARE(StoredColorToQColor(SystemColorValue(8), palette), QColor(4, 5, 6));
}

QTEST_MAIN(TestTaskDialogs)
#include "tst_taskdialogs.moc"
