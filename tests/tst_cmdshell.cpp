// The worker with cmd.exe for its shell: Wine's cmd.exe, in the prefix that
// with-prefix.sh made, running a Windows build of the fake programmer.
#include "masterthread.h"
#include "shellsettings.h"
#include "testsupport.h"

#include <QtTest>

using namespace std::chrono_literals;

namespace {
QList<QByteArray> expectedArguments(const QString &file, const QString &port)
{
    return { "-b", "115200", "-e", "40", "-w", file.toUtf8(), port.toUtf8() };
}
} // namespace

class CmdShellTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void pathAndPort_data();
    void pathAndPort();
    void outcome_data();
    void outcome();

private:
    // Runs one hand-over to its last signal, in a folder of the given name.
    QStringList run(const QString &port, const QString &file, const QString &folder = QString());
    int shellStarts() const;

    QTemporaryDir m_work;
    LogCapture *m_log = nullptr;
};

void CmdShellTest::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("WINEPREFIX"), "run through tests/wine/with-prefix.sh");
    ShellSettings settings = ShellSettings::platformDefaults();
    settings.kind = ShellKind::Cmd;
    settings.program = QStringLiteral(WINE_CMD_PATH);
    settings.arguments = QStringList();
    // The greeting ends the first wait; a loaded machine may start Wine slowly.
    settings.greetingTimeout = 20000ms;
    settings.greetingPause = 200ms;
    settings.firstOutputTimeout = 5000ms;
    settings.finishTimeout = 30000ms;
    ShellSettings::setCurrent(settings);
    qputenv("WINE_CMD_STARTS", QFile::encodeName(m_work.filePath(QStringLiteral("starts"))));
}

void CmdShellTest::cleanupTestCase()
{
    ShellSettings::setCurrent(ShellSettings::platformDefaults());
}

void CmdShellTest::init()
{
    QFile::remove(m_work.filePath(QStringLiteral("starts")));
}

QStringList CmdShellTest::run(const QString &port, const QString &file, const QString &folder)
{
    const QString oldDir = QDir::currentPath();
    QTemporaryDir base;
    if (!folder.isEmpty()) {
        QDir(base.path()).mkdir(folder);
        QDir::setCurrent(QDir(base.path()).filePath(folder));
    }
    MasterThread worker;
    SignalRecorder recorder(&worker);
    worker.transaction(port, file);
    const bool ended = QTest::qWaitFor([&] { return recorder.events.size() == 5; }, 60000);
    QDir::setCurrent(oldDir);
    return ended ? recorder.events : QStringList { "the run did not end" } + recorder.events;
}

int CmdShellTest::shellStarts() const
{
    QFile starts(m_work.filePath(QStringLiteral("starts")));
    return starts.open(QIODevice::ReadOnly) ? starts.readAll().count('\n') : 0;
}

void CmdShellTest::pathAndPort_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("port");
    // Empty: the programmer must receive exactly the file and port.
    QTest::addColumn<QString>("refusal");

    QTest::newRow("plain path") << "C:\\fw\\kestrix.bin"
                                << "COM3" << QString();
    QTest::newRow("spaces") << "C:\\Firmware Files\\new fw 1.bin"
                            << "COM3" << QString();
    QTest::newRow("& ^ ( ) ! ;") << "C:\\fw\\a&b^c(d)e!f;g.bin"
                                 << "COM3" << QString();
    QTest::newRow("e acute and u umlaut, in the code page")
            << QStringLiteral("C:\\Users\\Jos\u00e9\\Downloads\\f\u00fcr.bin") << "COM3"
            << QString();
    QTest::newRow("characters the code page lacks")
            << QStringLiteral("C:\\fw\\\u65e5\u672c.bin") << "COM3"
            << "code page 437";
    QTest::newRow("%PATH%") << "C:\\fw\\%PATH%.bin"
                            << "COM3"
                            << "percent sign";
    QTest::newRow("double quote") << "C:\\fw\\a\" & echo Done. & \".bin"
                                  << "COM3"
                                  << "double quote";
    QTest::newRow("port with a space") << "C:\\fw\\kestrix.bin"
                                       << "COM 3" << QString();
}

void CmdShellTest::pathAndPort()
{
    QFETCH(QString, file);
    QFETCH(QString, port);
    QFETCH(QString, refusal);

    FakeProgrammer fake(FakeProgrammer::Kind::Windows);
    LogCapture log;
    const QStringList events = run(port, file);
    const QStringList messages = log.messages();

    if (refusal.isEmpty()) {
        QCOMPARE(events, successEvents);
        QCOMPARE(fake.calls(), QList<QList<QByteArray>> { expectedArguments(file, port) });
        QCOMPARE(shellStarts(), 1);
    } else {
        QCOMPARE(events, failureEvents);
        QVERIFY(fake.calls().isEmpty());
        QCOMPARE(shellStarts(), 0);
        const QStringList reasons = messages.filter(QStringLiteral("Refusing to run"));
        QCOMPARE(reasons.size(), 1);
        QVERIFY2(reasons.first().contains(refusal), qPrintable(reasons.first()));
        QVERIFY(messages.filter(QStringLiteral("stmflshr -b")).isEmpty());
    }
}

void CmdShellTest::outcome_data()
{
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<bool>("programmerPresent");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("success");

    QTest::newRow("programmer prints Done.")
            << QByteArray("Erasing\nWriting\nDone.\n") << true << QString() << true;
    QTest::newRow("programmer prints no Done.")
            << QByteArray("Error: no answer from the device\n") << true << QString() << false;
    QTest::newRow("no programmer at all") << QByteArray() << false << QString() << false;
    // The prompt, which names the folder, starts the line after the command
    // and, under Wine, the line the programmer's output begins on.
    QTest::newRow("folder named Done.dir, no programmer")
            << QByteArray() << false << "Done.dir" << false;
    QTest::newRow("folder named Done.dir, programmer prints no Done.")
            << QByteArray("Error: no answer from the device\n") << true << "Done.dir" << false;
    QTest::newRow("folder named Done.dir, programmer prints Done.")
            << QByteArray("Done.\n") << true << "Done.dir" << true;
}

void CmdShellTest::outcome()
{
    QFETCH(QByteArray, output);
    QFETCH(bool, programmerPresent);
    QFETCH(QString, folder);
    QFETCH(bool, success);

    FakeProgrammer fake(FakeProgrammer::Kind::Windows);
    fake.setOutput(output);
    if (!programmerPresent)
        fake.removeFromPath();
    QCOMPARE(run(QStringLiteral("COM3"), QStringLiteral("C:\\fw\\kestrix.bin"), folder),
            success ? successEvents : failureEvents);
    QCOMPARE(fake.calls().size(), programmerPresent ? 1 : 0);
    QCOMPARE(shellStarts(), 1);
}

QTEST_GUILESS_MAIN(CmdShellTest)
#include "tst_cmdshell.moc"
