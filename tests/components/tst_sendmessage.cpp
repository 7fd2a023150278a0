// The mail component: the message it hands to the desktop, and how failures come back.

#include "components/QvSendMessage.h"

#include "support/RecordingDesktopServices.h"
#include "support/ScriptedPrompter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quillpad;

class TestSendMessage : public QObject {
    Q_OBJECT

private slots:
    void results_data();
    void results();
    void userAbortIsSilent();
    void sendsTheMessage();
    void handOffFailures_data();
    void handOffFailures();
    void clearKeepsSubject();
};

void TestSendMessage::results_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("2") << 2 << "MAPI: General Failure. ErrorCode = 2";
    QTest::newRow("6") << 6 << "MAPI: Access Denied. ErrorCode = 6";
    QTest::newRow("7, not assigned") << 7 << "MAPI: Unknown Error. ErrorCode = 7";
    QTest::newRow("8") << 8 << "MAPI: Too Many Sessions. ErrorCode = 8";
    QTest::newRow("11") << 11 << "MAPI: Attachment Not Found. ErrorCode = 11";
    QTest::newRow("26") << 26 << "MAPI: Feature Not Supported. ErrorCode = 26";
    QTest::newRow("27") << 27 << "MAPI: Unknown Error. ErrorCode = 27";
}

void TestSendMessage::results()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    try {
        RaiseMapiResult(code);
        QFAIL("no exception");
    } catch (const EMapiError &error) {
        QCOMPARE(error.message(), text);
        QCOMPARE(error.ErrorCode(), code);
    }
}

void TestSendMessage::userAbortIsSilent()
{
    RaiseMapiResult(0);
    QVERIFY_THROWS_EXCEPTION(EMapiUserAbort, RaiseMapiResult(1));
    ScriptedPrompter prompter;
    RunGuarded([] { RaiseMapiResult(1); });
    QVERIFY(prompter.messages.isEmpty());
    RunGuarded([] { RaiseMapiResult(3); });
    QCOMPARE(prompter.messages.size(), 1);
    QVERIFY(prompter.messages.front().text.startsWith(QLatin1String("MAPI: Login Failure. ErrorCode = 3")));
}

void TestSendMessage::sendsTheMessage()
{
    RecordingDesktopServices desktop;
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("a.html"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("b.qvx"))).open(QIODevice::WriteOnly);
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    TQvSendMessage mail;
    mail.Subject = QStringLiteral("Hello");
    mail.MessageText << QStringLiteral("one") << QStringLiteral("two");
    mail.Attachments << QStringLiteral("a.html") << dir.filePath(QStringLiteral("b.qvx"));
    mail.CcRecipients << QStringLiteral("c@example.org");
    mail.Send();
    QDir::setCurrent(before);
    QCOMPARE(desktop.mails.size(), 1);
    const MailMessage &sent = desktop.mails.front();
    QCOMPARE(sent.subject, QStringLiteral("Hello"));
    QCOMPARE(sent.body, QStringLiteral("one\r\ntwo\r\n"));
    QCOMPARE(sent.attachments, (QStringList{QDir(dir.path()).absoluteFilePath(QStringLiteral("a.html")),
                                            QDir(dir.path()).absoluteFilePath(QStringLiteral("b.qvx"))}));
    QCOMPARE(sent.cc, QStringList{"c@example.org"});
    QVERIFY(sent.to.isEmpty() && sent.bcc.isEmpty());
}

void TestSendMessage::handOffFailures_data()
{
    QTest::addColumn<bool>("unavailable");
    QTest::addColumn<bool>("missingAttachment");
    QTest::addColumn<int>("code");
    QTest::newRow("no mail program") << true << false << 2;
    QTest::newRow("not taken") << false << false << 2;
    QTest::newRow("attachment missing") << false << true << 11;
}

class UnavailableDesktop final : public DesktopServices {
public:
    UnavailableDesktop() { DesktopServices::install(this); }
    ~UnavailableDesktop() override { DesktopServices::install(nullptr); }
    void playSound(const QString &) override {}
    bool openUrl(const QUrl &) override { return false; }
    void sendMail(const MailMessage &) override { throw MailUnavailable(QStringLiteral("none")); }
    bool isAutoStart() const override { return false; }
    void setAutoStart(bool) override {}
    bool hasNotificationArea() const override { return false; }
};

void TestSendMessage::handOffFailures()
{
    QFETCH(bool, unavailable);
    QFETCH(bool, missingAttachment);
    QFETCH(int, code);
    RecordingDesktopServices recording;
    recording.mailError = QStringLiteral("xdg-email ended with code 4");
    std::unique_ptr<UnavailableDesktop> none;
    if (unavailable)
        none = std::make_unique<UnavailableDesktop>();
    TQvSendMessage mail;
    if (missingAttachment)
        mail.Attachments << QStringLiteral("/nonexistent/Tasks.html");
    try {
        mail.Send();
        QFAIL("no exception");
    } catch (const EMapiUserAbort &) {
        QCOMPARE(code, 1);
    } catch (const EMapiError &error) {
        QCOMPARE(error.ErrorCode(), code);
        // The desktop's own words say what failed.
        if (!missingAttachment)
            QCOMPARE(error.message(), unavailable ? QStringLiteral("none") : recording.mailError);
    }
    // A missing attachment stops before the mail program is asked.
    QCOMPARE(recording.mails.size(), unavailable || missingAttachment ? 0 : 1);
}

void TestSendMessage::clearKeepsSubject()
{
    TQvSendMessage mail;
    mail.Subject = QStringLiteral("s");
    mail.Attachments << QStringLiteral("a");
    mail.ToRecipients << QStringLiteral("t");
    mail.CcRecipients << QStringLiteral("c");
    mail.BccRecipients << QStringLiteral("b");
    mail.MessageText << QStringLiteral("m");
    mail.Clear();
    QVERIFY(mail.Attachments.isEmpty() && mail.ToRecipients.isEmpty() && mail.CcRecipients.isEmpty()
            && mail.BccRecipients.isEmpty() && mail.MessageText.isEmpty());
    QCOMPARE(mail.Subject, QStringLiteral("s"));
}

QTEST_GUILESS_MAIN(TestSendMessage)
#include "tst_sendmessage.moc"
