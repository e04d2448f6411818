#include "flashverdict.h"
#include "testsupport.h"

#include <QtTest>

class FlashVerdictTest : public QObject
{
    Q_OBJECT

private slots:
    void verdict_data();
    void verdict();
};

void FlashVerdictTest::verdict_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("shell");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("success");
    // What the failure box shows the programmer printed; null: the block.
    QTest::addColumn<QByteArray>("printed");

    const int posix = int(ShellKind::Posix);
    const int cmd = int(ShellKind::Cmd);
    QTest::newRow("Done. on its own line")
            << "/fw.bin" << posix << QByteArray("x\nDone.\n") << true << QByteArray();
    QTest::newRow("Done. inside a longer line")
            << "/fw.bin" << posix << QByteArray("Writing ... Done.Verified") << true
            << QByteArray();
    QTest::newRow("done. in another case")
            << "/fw.bin" << posix << QByteArray("done.\nDONE.") << false << QByteArray();
    QTest::newRow("empty block") << "/fw.bin" << posix << QByteArray() << false << QByteArray();
    QTest::newRow("Done. only in the echo")
            << "C:\\Done.bin" << cmd
            << QByteArray(">stmflshr -b 115200 -e 40 -w \"C:\\Done.bin\" COM3 \r\n"
                          "Error: no answer\r\n\r\n>")
            << false << QByteArray("Error: no answer\r\n\r");
    QTest::newRow("Done. after the echo")
            << "C:\\Done.bin" << cmd
            << QByteArray(">stmflshr -b 115200 -e 40 -w \"C:\\Done.bin\" COM3 \r\n"
                          "Erasing\r\nDone.\r\n\r\n>")
            << true << QByteArray("Erasing\r\nDone.\r\n\r");
    // The prompt is ">" alone, and may start the programmer's first line.
    QTest::newRow("Done. on the prompt's line")
            << "C:\\fw.bin" << cmd << QByteArray(">Done.\r\n") << true << QByteArray("Done.\r\n");
    QTest::newRow("the prompt after a line break of its own")
            << "C:\\fw.bin" << cmd << QByteArray("\r\n>Error: no answer\r\n\r\n>") << false
            << QByteArray("\r\nError: no answer\r\n\r");
    QTest::newRow("Done. only in a copy of the path")
            << "/fw/Done.bin" << posix << QByteArray("cannot open /fw/Done.bin\n") << false
            << QByteArray();
    QTest::newRow("Done. only in a copy of the path in the shell's code page")
            << QStringLiteral("C:\\Jos\u00e9\\Done.bin") << cmd
            << QByteArray("cannot open C:\\Jos\x82\\Done.bin\r\n") << false << QByteArray();
    QTest::newRow("Done. only in a copy of the path in Windows' separators")
            << "Z:/tmp/Done. fw/fw 1.bin" << cmd
            << QByteArray("cannot open Z:\\tmp\\Done. fw\\fw 1.bin\r\n") << false << QByteArray();
    QTest::newRow("Done. only in a copy of the path in forward slashes")
            << "C:\\Done. fw\\fw 1.bin" << cmd << QByteArray("cannot open C:/Done. fw/fw 1.bin\r\n")
            << false << QByteArray();
    QTest::newRow("Done. only in a copy of the path in the programmer's code page")
            << QStringLiteral("C:\\Jos\u00e9\\Done.bin") << cmd
            << QByteArray("cannot open C:\\Jos\xe9\\Done.bin\r\n") << false << QByteArray();
}

void FlashVerdictTest::verdict()
{
    QFETCH(QString, file);
    QFETCH(int, shell);
    QFETCH(QByteArray, block);
    QFETCH(bool, success);
    QFETCH(QByteArray, printed);
    const bool isCmd = shell == int(ShellKind::Cmd);
    // Wine's, and a Western Windows system's: console in 437, ANSI 1252.
    const FlashCommand command =
            composeFlashCommand(file, isCmd ? QStringLiteral("COM3") : QStringLiteral("/dev/ttyS0"),
                    ShellKind(shell), isCmd ? CodePages { 437, 1252 } : CodePages());
    QVERIFY(command.isValid());
    QCOMPARE(flashSucceeded(block, command), success);
    QCOMPARE(
            programmerOutput(block, command, ShellKind(shell)), printed.isNull() ? block : printed);
}

KESTRIX_TEST_APPLESS_MAIN(FlashVerdictTest)
#include "tst_flashverdict.moc"
