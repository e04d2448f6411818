#include "statustexts.h"
#include "testsupport.h"

#include <QtTest>

class StatusTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void exactText_data();
    void exactText();
};

namespace {
// Written out line by line so that a lost trailing space shows up here.
const char *const procedureLines[] = {
    "Programming procedure: ",
    "1) Disconnect Kestrix from NMEA2000 network",
    "2) Open Kestrix and move jumper to \"Flash\" position ",
    "3) Reconnect Kestrix to the NMEA2000 network (the LEDs will not illuminate)",
    "4) Click the \"Browse\" button and choose the firmware update file ",
    "5) Press the \"Start\" button and wait for the programming to successfully finish",
    "6) Disconnect Kestrix from the NMEA2000 network and move jumper to \"Normal\" position",
    "7) Reassemble the Kestrix and reconnect it to the NMEA2000 network ",
    "8) Updating is complete",
};
} // namespace

void StatusTextsTest::exactText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("headline");

    QTest::newRow("not running") << statusNotRunning << "Status: Not running ";
    QTest::newRow("select file first")
            << statusSelectFileFirst << "Status: Please select the update file first! ";
    QTest::newRow("started") << statusProgrammingStarted << "Status: Programming started ";
    QTest::newRow("successful") << statusProgrammingSuccessful << "Status: Programming SUCCESSFUL ";
    QTest::newRow("failed") << statusProgrammingFailed << "Status: Programming FAILED!!! ";
}

void StatusTextsTest::exactText()
{
    QFETCH(QString, text);
    QFETCH(QString, headline);

    QStringList lines;
    for (const char *line : procedureLines)
        lines << QString::fromLatin1(line);
    QCOMPARE(text, headline + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')));

    QCOMPARE(statusHeadline(text), headline.trimmed());
    QVERIFY(text.endsWith(QStringLiteral("complete")));
    QCOMPARE(text.count(QStringLiteral("Programming procedure: \n")), 1);
    for (const QChar c : text)
        QVERIFY(c.unicode() < 0x80);
}

KESTRIX_TEST_APPLESS_MAIN(StatusTextsTest)
#include "tst_statustexts.moc"
