#include "flashcommand.h"
#include "testsupport.h"

#include <QtTest>

namespace {
// Wine's, and a Western Windows system's: console in 437, ANSI 1252.
const CodePages westernCodePages { 437, 1252 };
} // namespace

class FlashCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void posixLine_data();
    void posixLine();
    void cmdLine_data();
    void cmdLine();
    void consoleCodePage();
    void refusalAdvice_data();
    void refusalAdvice();
    void programmerPort_data();
    void programmerPort();
};

void FlashCommandTest::posixLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("ordinary path and port")
            << "/home/u/fw.bin"
            << "/dev/ttyUSB0"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/home/u/fw.bin\" /dev/ttyUSB0 \n");
    QTest::newRow("empty port leaves two spaces")
            << "/fw.bin"
            << "" << QByteArray("stmflshr -b 115200 -e 40 -w \"/fw.bin\"  \n");
    QTest::newRow("path with spaces") << "/a b/fw 1.bin"
                                      << "/dev/ttyS0"
                                      << QByteArray("stmflshr -b 115200 -e 40 -w \"/a b/fw 1.bin\" "
                                                    "/dev/ttyS0 \n");
    QTest::newRow("non-ASCII path as UTF-8")
            << QStringLiteral("/fw/gr\u00fc\u00dfe-\u65e5.bin") << "/dev/ttyS0"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/fw/gr\xc3\xbc\xc3\x9f"
                          "e-\xe6\x97\xa5.bin\" /dev/ttyS0 \n");
    QTest::newRow("command substitution in path")
            << "/fw$(touch x).bin"
            << "/dev/ttyS0"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/fw\\$(touch x).bin\" /dev/ttyS0 \n");
    QTest::newRow("backquote, double quote, backslash in path")
            << "/a`b\"c\\d.bin"
            << "/dev/ttyS0"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/a\\`b\\\"c\\\\d.bin\" /dev/ttyS0 \n");
    QTest::newRow("single quote in path is literal inside double quotes")
            << "/it's.bin"
            << "/dev/ttyS0"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/it's.bin\" /dev/ttyS0 \n");
    QTest::newRow("hostile port is single-quoted")
            << "/fw.bin"
            << "/dev/x; rm -rf ~ 'y'"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"/fw.bin\" '/dev/x; rm -rf ~ "
                          "'\\''y'\\''' \n");
}

void FlashCommandTest::posixLine()
{
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(QByteArray, line);
    const FlashCommand command = composeFlashCommand(file, port, ShellKind::Posix, CodePages());
    QVERIFY(command.isValid());
    QCOMPARE(command.line, line);
}

void FlashCommandTest::cmdLine_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("line"); // empty: refused

    QTest::newRow("ordinary path and port")
            << "C:\\fw\\new fw.bin"
            << "COM3" << QByteArray("stmflshr -b 115200 -e 40 -w \"C:\\fw\\new fw.bin\" COM3 \n");
    QTest::newRow("ampersand and caret are literal inside quotes")
            << "C:\\a&b^c.bin"
            << "COM3" << QByteArray("stmflshr -b 115200 -e 40 -w \"C:\\a&b^c.bin\" COM3 \n");
    QTest::newRow("port with a space is quoted")
            << "C:\\fw.bin"
            << "COM 3" << QByteArray("stmflshr -b 115200 -e 40 -w \"C:\\fw.bin\" \"COM 3\" \n");
    QTest::newRow("double quote in path") << "C:\\a\"&calc&\".bin"
                                          << "COM3" << QByteArray();
    QTest::newRow("percent sign in path") << "C:\\%PATH%.bin"
                                          << "COM3" << QByteArray();
    QTest::newRow("line break in path") << "C:\\a\r\ncalc.bin"
                                        << "COM3" << QByteArray();
    QTest::newRow("percent sign in port") << "C:\\fw.bin"
                                          << "COM%X%" << QByteArray();
    QTest::newRow("accented letters in the shell's code page")
            << QStringLiteral("C:\\Users\\Jos\u00e9\\f\u00fcr.bin") << "COM3"
            << QByteArray("stmflshr -b 115200 -e 40 -w \"C:\\Users\\Jos\x82\\f\x81r.bin\" COM3 \n");
    QTest::newRow("a letter the code page has only a look-alike for")
            << QStringLiteral("C:\\\u0101.bin") << "COM3" << QByteArray();
    QTest::newRow("characters outside the code page")
            << QStringLiteral("C:\\fw\\\u65e5\u672c.bin") << "COM3" << QByteArray();
    QTest::newRow("port outside the code page")
            << "C:\\fw.bin" << QStringLiteral("COM\u2463") << QByteArray();
    // Windows would hand a programmer with a plain main() "fw-O.bin".
    QTest::newRow("omega: in the shell's code page, not in the programmer's")
            << QStringLiteral("C:\\fw\\fw-\u03a9.bin") << "COM3" << QByteArray();
    QTest::newRow("o tilde: in the programmer's code page, not in the shell's")
            << QStringLiteral("C:\\fw\\fw-\u00f5.bin") << "COM3" << QByteArray();
}

void FlashCommandTest::cmdLine()
{
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(QByteArray, line);
    const FlashCommand command = composeFlashCommand(file, port, ShellKind::Cmd, westernCodePages);
    QCOMPARE(command.line, line);
    QCOMPARE(command.isValid(), !line.isEmpty());
}

void FlashCommandTest::consoleCodePage()
{
    // The line follows the console's code page: e acute is 0x82 in 437 and
    // 0xE9 in 1252; o tilde only has a place in 1252.
    const QString file = QStringLiteral("C:\\Jos\u00e9\\fw-\u00f5.bin");
    const FlashCommand command = composeFlashCommand(
            file, QStringLiteral("COM3"), ShellKind::Cmd, CodePages { 1252, 1252 });
    QCOMPARE(command.line,
            QByteArray("stmflshr -b 115200 -e 40 -w \"C:\\Jos\xe9\\fw-\xf5.bin\" COM3 \n"));
    QVERIFY(!composeFlashCommand(file, QStringLiteral("COM3"), ShellKind::Cmd, westernCodePages)
                     .isValid());
}

void FlashCommandTest::refusalAdvice_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("cause");
    QTest::addColumn<QString>("character");
    // What the log and the details say of it.
    QTest::addColumn<QString>("technical");

    const int inName = int(Cause::FileNameCharacter);
    const int inFolder = int(Cause::FolderNameCharacter);
    const QString interpreted = QStringLiteral("holds a character cmd.exe would interpret");
    QTest::newRow("percent sign in the file's name") << "C:\\fw\\fw-100%.bin"
                                                     << "COM3" << inName << "%" << interpreted;
    QTest::newRow("percent sign in a folder's name") << "C:\\100%\\fw.bin"
                                                     << "COM3" << inFolder << "%" << interpreted;
    QTest::newRow("line break, with forward slashes") << "C:/a\nb/fw.bin"
                                                      << "COM3" << inFolder << "\n"
                                                      << interpreted;
    QTest::newRow("a character outside the code page, named")
            << QStringLiteral("C:\\fw\\fw-\u65e5\u672c.bin") << "COM3" << inName
            << QStringLiteral("\u65e5") << "outside code page 437, in which the shell reads";
    QTest::newRow("a pair of surrogates is one character")
            << QStringLiteral("C:\\fw-\U0001F600.bin") << "COM3" << inName
            << QStringLiteral("\U0001F600") << "outside code page 437";
    QTest::newRow("a character the programmer's code page lacks")
            << QStringLiteral("C:\\fw\\fw-\u03a9.bin") << "COM3" << inName
            << QStringLiteral("\u03a9") << "outside code page 1252, in which the programmer reads";
    QTest::newRow("percent sign in the port") << "C:\\fw.bin"
                                              << "COM%X%" << int(Cause::PortNameCharacter) << "%"
                                              << "the port name holds";
}

void FlashCommandTest::refusalAdvice()
{
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(int, cause);
    QFETCH(QString, character);
    QFETCH(QString, technical);
    const FlashCommand command = composeFlashCommand(file, port, ShellKind::Cmd, westernCodePages);
    QVERIFY(!command.isValid());
    QCOMPARE(int(command.refusal.cause), cause);
    QCOMPARE(command.refusal.character, character);
    QVERIFY(command.refusal.technical.startsWith(QStringLiteral("Refusing to run: ")));
    QVERIFY2(command.refusal.technical.contains(technical), qPrintable(command.refusal.technical));
}

void FlashCommandTest::programmerPort_data()
{
    QTest::addColumn<int>("shell");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("port");

    const int posix = int(ShellKind::Posix);
    QTest::newRow("POSIX name becomes device path") << posix << "ttyUSB0"
                                                    << "/dev/ttyUSB0";
    QTest::newRow("POSIX path stays") << posix << "/dev/pts/3"
                                      << "/dev/pts/3";
    QTest::newRow("POSIX empty stays empty") << posix << ""
                                             << "";
    QTest::newRow("Windows name stays") << int(ShellKind::Cmd) << "COM3"
                                        << "COM3";
}

void FlashCommandTest::programmerPort()
{
    QFETCH(int, shell);
    QFETCH(QString, name);
    QFETCH(QString, port);
    QCOMPARE(::programmerPort(name, ShellKind(shell)), port);
}

KESTRIX_TEST_APPLESS_MAIN(FlashCommandTest)
#include "tst_flashcommand.moc"
