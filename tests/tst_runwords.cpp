#include "runwords.h"
#include "testsupport.h"

#include <QtTest>

Q_DECLARE_METATYPE(RunCause)

using namespace std::chrono_literals;

class RunWordsTest : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
};

namespace {
RunCause run(Cause cause, const QByteArray &output = QByteArray(),
        const QByteArray &errors = QByteArray(), unsigned codePage = utf8CodePage)
{
    RunCause run;
    run.cause = cause;
    run.file = QStringLiteral("/home/ana/fw-1.0.bin");
    run.port = QStringLiteral("ttyUSB0");
    run.wait = 60000ms;
    if (!run.programmerRan())
        run.technical = QStringLiteral("Refusing to run: what the log says");
    run.output = output;
    run.errors = errors;
    run.codePage = codePage;
    return run;
}

RunCause with(RunCause run, QString RunCause::*fact, const QString &value)
{
    run.*fact = value;
    return run;
}
} // namespace

void RunWordsTest::words_data()
{
    QTest::addColumn<RunCause>("run");
    // What the informative text says, and the command on a line of its own.
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("command");
    // What "Show Details..." shows, exactly.
    QTest::addColumn<QString>("details");

    const QString logged = QStringLiteral("Refusing to run: what the log says");
    QTest::newRow("succeeded: the file written, the port, the next step")
            << run(Cause::Succeeded)
            << "fw-1.0.bin was written to the Kestrix on ttyUSB0. Now disconnect it from the "
               "NMEA2000 network, move its jumper back to \"Normal\""
            << QString() << QString();
    QTest::newRow("no port") << run(Cause::NoPort) << "No serial port was found" << QString()
                             << logged;
    QTest::newRow("port gone") << with(run(Cause::PortGone), &RunCause::port, "ttyUSB1")
                               << "The serial port ttyUSB1 is no longer there." << QString()
                               << logged;
    QTest::newRow("port for a group")
            << with(run(Cause::PortForGroup), &RunCause::group, "dialout")
            << "Only the group \"dialout\" may use the serial port ttyUSB0."
            << "sudo adduser $USER dialout" << logged;
    QTest::newRow("port for nobody else")
            << with(run(Cause::PortDenied), &RunCause::reason, "Permission denied")
            << "You may not use the serial port ttyUSB0. Ask whoever looks after this computer"
            << QString() << logged;
    QTest::newRow("a character in the port's name")
            << with(run(Cause::PortNameCharacter), &RunCause::character, "%")
            << QStringLiteral("The serial port's name has \u201c%\u201d in it") << QString()
            << logged;
    QTest::newRow("a character in the file's name")
            << with(run(Cause::FileNameCharacter), &RunCause::character, QStringLiteral("\u65e5"))
            << QStringLiteral("The firmware file's name has \u201c\u65e5\u201d in it, which")
            << QString() << logged;
    QTest::newRow("a line break in a folder's name")
            << with(run(Cause::FolderNameCharacter), &RunCause::character, "\n")
            << "A folder holding the firmware file has a line break in its name" << QString()
            << logged;
    QTest::newRow("file gone") << run(Cause::FileMissing)
                               << "The chosen file is no longer where it was chosen." << QString()
                               << logged;
    QTest::newRow("not a file") << run(Cause::FileNotAFile) << "a folder or a device, not a file"
                                << QString() << logged;
    QTest::newRow("file unreadable")
            << with(run(Cause::FileUnreadable), &RunCause::reason, "Permission denied")
            << "The chosen file cannot be read: Permission denied." << QString() << logged;
    QTest::newRow("file empty") << run(Cause::FileEmpty)
                                << "The chosen file is empty. Choose the firmware file from the "
                                   "Kestrix update."
                                << QString() << logged;
    QTest::newRow("file too short")
            << run(Cause::FileTooShort) << "too short to be firmware" << QString() << logged;
    QTest::newRow("file too large") << run(Cause::FileTooLarge)
                                    << "larger than any Kestrix firmware" << QString() << logged;
    QTest::newRow("not firmware") << run(Cause::FileNotFirmware)
                                  << "not firmware the Kestrix can start from" << QString()
                                  << logged;
    QTest::newRow("firmware for elsewhere")
            << run(Cause::FileForElsewhere) << "firmware for another place in the device's memory"
            << QString() << logged;
    // Which line of a HEX file is damaged is in the details, with the rule.
    QTest::newRow("file damaged") << run(Cause::FileDamaged) << "The chosen file is damaged"
                                  << QString() << logged;
    QTest::newRow("no programmer on PATH")
            << run(Cause::ProgrammerNotOnPath) << "The flash programmer stmflshr was not found."
            << "sudo install -m 755 stmflshr /usr/local/bin/" << logged;
    QTest::newRow("no programmer in the folder")
            << with(run(Cause::ProgrammerNotInFolder), &RunCause::folder,
                       "C:\\Program Files\\Solvane\\Kestrix Updater")
            << "The flash programmer stmflshr.exe was not found."
            << "C:\\Program Files\\Solvane\\Kestrix Updater" << logged;
    QTest::newRow("programmer not to be controlled")
            << run(Cause::ProgrammerUncontrolled) << "restart the computer" << QString() << logged;
    QTest::newRow("kept from controlling it by what started the updater")
            << run(Cause::ProgrammerUncontrolledByStarter)
            << "Start the updater from the Start menu or Explorer." << QString() << logged;
    QTest::newRow("the shell did not start")
            << run(Cause::ShellNotStarted) << "could not start the system's command shell"
            << QString() << logged;

    QTest::newRow("cut off after a minute, mid-write")
            << run(Cause::CutOff, "Write to memory\nWriting 25%\n") << "Writing took over a minute"
            << QString() << "Output:\nWrite to memory\nWriting 25%";
    const QString noSuccess = QStringLiteral("The programmer did not report success.");
    QTest::newRow("nothing answered, and nothing printed")
            << run(Cause::NoSuccessReported) << noSuccess << QString() << QString();
    QTest::newRow("nothing answered: its error on standard error")
            << run(Cause::NoSuccessReported, "stmflshr 0.4\nInterface serial\n",
                       "Failed to init device.\n")
            << noSuccess << QString()
            << "Output:\nstmflshr 0.4\nInterface serial\n\nError output:\nFailed to init device.";
    QTest::newRow("a crash: only the shell's words on standard error")
            << run(Cause::NoSuccessReported, QByteArray(), "Segmentation fault\n") << noSuccess
            << QString() << "Error output:\nSegmentation fault";
    // A terminal would show the last state of a line redrawn in place.
    QTest::newRow("progress redrawn with carriage returns")
            << run(Cause::NoSuccessReported,
                       "Writing  10%\rWriting  55%\rWriting 100%\r\nFailed\r\n",
                       "Error: 12345\b\b\b\b\babort\n")
            << noSuccess << QString()
            << "Output:\nWriting 100%\nFailed\n\nError output:\nError: abort";
    QTest::newRow("a shorter redraw leaves the rest of the line") << run(Cause::NoSuccessReported,
            "Writing 100%\rDone\n") << noSuccess << QString() << "Output:\nDoneing 100%";
    QTest::newRow("cmd.exe's words in code page 437")
            << run(Cause::NoSuccessReported, QByteArray(), "Zugriff verweigert: f\x81r COM3\r\n",
                       437)
            << noSuccess << QString()
            << QStringLiteral("Error output:\nZugriff verweigert: f\u00fcr COM3");

    QByteArray many;
    for (int i = 1; i <= 100; ++i)
        many += "Writing page " + QByteArray::number(i) + "\n";
    QString last;
    for (int i = 76; i <= 100; ++i)
        last += QStringLiteral("\nWriting page %1").arg(i);
    QTest::newRow("long output: the last lines")
            << run(Cause::NoSuccessReported, many + "\n\n") << noSuccess << QString()
            << "Output:\n(75 earlier lines left out)" + last;
}

void RunWordsTest::words()
{
    QFETCH(RunCause, run);
    QFETCH(QString, says);
    QFETCH(QString, command);
    QFETCH(QString, details);

    const RunWords words = describeRun(run);
    const QString &text = words.informative;
    QVERIFY2(text.contains(says), qPrintable(text));
    QCOMPARE(words.details, details);

    // Read once, at the bench: short, and a command as it is typed.
    const QStringList wordList = text.split(QRegularExpression(QStringLiteral("\\s+")));
    QVERIFY2(wordList.size() <= 35, qPrintable(QString::number(wordList.size()) + ": " + text));
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.contains(command), !command.isEmpty());
    QCOMPARE(lines.size(), command.isEmpty() ? 1 : 5);

    // Last, the state the device is in: only a run that never started the
    // programmer left it as it was.
    const bool unchanged = text.endsWith(QStringLiteral("The device was not changed."));
    const bool partWritten = text.endsWith(QStringLiteral(
            "The device may hold part of the new firmware until a run with the jumper in "
            "\"Flash\" succeeds."));
    QCOMPARE(unchanged, !run.programmerRan());
    QCOMPARE(partWritten, run.programmerRan() && run.cause != Cause::Succeeded);
}

KESTRIX_TEST_APPLESS_MAIN(RunWordsTest)
#include "tst_runwords.moc"
