#include "failurereport.h"
#include "testsupport.h"

#include <QtTest>

using namespace std::chrono_literals;

class FailureReportTest : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
};

void FailureReportTest::words_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("shellStartError");
    QTest::addColumn<bool>("cutOff");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");
    QTest::addColumn<uint>("codePage");
    // What the advice holds, and the details exactly.
    QTest::addColumn<QString>("advice");
    QTest::addColumn<QString>("details");

    const uint utf8 = utf8CodePage;
    QTest::newRow("refused: the file is empty")
            << "The chosen file is empty." << QString() << false << QByteArray() << QByteArray()
            << utf8 << "The chosen file is empty. The device was not touched." << QString();
    QTest::newRow("the shell did not start")
            << QString() << "execve: No such file or directory" << false << QByteArray()
            << QByteArray() << utf8
            << "could not start the system's command shell (execve: No such file or directory)"
            << QString();
    QTest::newRow("nothing answered, and nothing printed")
            << QString() << QString() << false << QByteArray() << QByteArray() << utf8
            << "did not report success. Check that the jumper is in the \"Flash\" position"
            << QString();
    QTest::newRow("nothing answered: its error on standard error")
            << QString() << QString() << false << QByteArray("stmflshr 0.4\nInterface serial\n")
            << QByteArray("Failed to init device.\n") << utf8 << "did not report success"
            << "Output:\nstmflshr 0.4\nInterface serial\n\nError output:\nFailed to init device.";
    QTest::newRow("cut off after a minute, mid-write")
            << QString() << QString() << true << QByteArray("Write to memory\nWriting 25%\n")
            << QByteArray() << utf8 << "had not finished after a minute"
            << "Output:\nWrite to memory\nWriting 25%";
    QTest::newRow("a crash: only the shell's words on standard error")
            << QString() << QString() << false << QByteArray() << QByteArray("Segmentation fault\n")
            << utf8 << "did not report success"
            << "Error output:\nSegmentation fault";
    // A terminal would show the last state of a line redrawn in place.
    QTest::newRow("progress redrawn with carriage returns")
            << QString() << QString() << false
            << QByteArray("Writing  10%\rWriting  55%\rWriting 100%\r\nFailed\r\n")
            << QByteArray("Error: 12345\b\b\b\b\babort\n") << utf8 << "did not report success"
            << "Output:\nWriting 100%\nFailed\n\nError output:\nError: abort";
    QTest::newRow("a shorter redraw leaves the rest of the line")
            << QString() << QString() << false << QByteArray("Writing 100%\rDone\n") << QByteArray()
            << utf8 << "did not report success"
            << "Output:\nDoneing 100%";
    QTest::newRow("cmd.exe's words in code page 437")
            << QString() << QString() << false << QByteArray()
            << QByteArray("Zugriff verweigert: f\x81r COM3\r\n") << 437u << "did not report success"
            << QStringLiteral("Error output:\nZugriff verweigert: f\u00fcr COM3");

    QByteArray many;
    for (int i = 1; i <= 100; ++i)
        many += "Writing page " + QByteArray::number(i) + "\n";
    QString last;
    for (int i = 76; i <= 100; ++i)
        last += QStringLiteral("\nWriting page %1").arg(i);
    QTest::newRow("long output: the last lines") << QString() << QString() << false << many + "\n\n"
                                                 << QByteArray() << utf8 << "did not report success"
                                                 << "Output:\n(75 earlier lines left out)" + last;
}

void FailureReportTest::words()
{
    QFETCH(QString, refusal);
    QFETCH(QString, shellStartError);
    QFETCH(bool, cutOff);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    QFETCH(uint, codePage);
    QFETCH(QString, advice);
    QFETCH(QString, details);

    FailedRun run;
    if (!refusal.isEmpty())
        run.refusal = { QStringLiteral("Refusing to run: a test"), refusal };
    run.shellStartError = shellStartError;
    run.cutOff = cutOff;
    run.finishTimeout = 60000ms;
    run.output = output;
    run.errors = errors;
    run.codePage = codePage;
    const FailureReport report = describeFailure(run);

    QVERIFY2(report.advice.contains(advice), qPrintable(report.advice));
    QCOMPARE(report.details, details);
    // Only a run that never reached the programmer left the device as it was.
    const bool programmerRan = refusal.isEmpty() && shellStartError.isEmpty();
    QCOMPARE(report.advice.contains(QStringLiteral("not touched")), !programmerRan);
    QCOMPARE(report.advice.contains(QStringLiteral("may now hold part of the new firmware")),
            programmerRan);
}

KESTRIX_TEST_APPLESS_MAIN(FailureReportTest)
#include "tst_failurereport.moc"
