#include "preflight.h"
#include "testsupport.h"

#include <QtTest>

#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class PreflightTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { setPortAccessProbe(nullptr); }

    void programmerCandidates_data();
    void programmerCandidates();
    void port_data();
    void port();
    void deviceTheUserMayNotOpen();
};

void PreflightTest::programmerCandidates_data()
{
    QTest::addColumn<int>("shell");
    QTest::addColumn<QString>("workingDirectory");
    // Null: not set at all.
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("pathExt");
    QTest::addColumn<QStringList>("candidates");

    const int posix = int(ShellKind::Posix);
    const int cmd = int(ShellKind::Cmd);
    QTest::newRow("sh: PATH in its order")
            << posix << "/opt/kestrix"
            << "/usr/local/bin:/usr/bin" << QString()
            << QStringList { "/usr/local/bin/stmflshr", "/usr/bin/stmflshr" };
    QTest::newRow("sh: an empty entry and a relative one are the shell's folder's")
            << posix << "/opt/kestrix"
            << ":bin" << QString()
            << QStringList { "/opt/kestrix/stmflshr", "/opt/kestrix/bin/stmflshr" };
    QTest::newRow("sh: PATH not set")
            << posix << "/opt/kestrix" << QString() << QString()
            << QStringList { "/usr/local/sbin/stmflshr", "/usr/local/bin/stmflshr",
                   "/usr/sbin/stmflshr", "/usr/bin/stmflshr", "/sbin/stmflshr", "/bin/stmflshr" };
    // The folder cmd.exe runs in first, each folder with every extension.
    QTest::newRow("cmd.exe: its folder, then PATH, with PATHEXT in order")
            << cmd << "C:/Program Files/Solvane/Kestrix Updater"
            << "C:\\Windows\\system32;\"C:\\Tools\\\";;tools"
            << ".EXE;.BAT"
            << QStringList { "C:\\Program Files\\Solvane\\Kestrix Updater\\stmflshr.EXE",
                   "C:\\Program Files\\Solvane\\Kestrix Updater\\stmflshr.BAT",
                   "C:\\Windows\\system32\\stmflshr.EXE", "C:\\Windows\\system32\\stmflshr.BAT",
                   "C:\\Tools\\stmflshr.EXE", "C:\\Tools\\stmflshr.BAT",
                   "C:\\Program Files\\Solvane\\Kestrix Updater\\tools\\stmflshr.EXE",
                   "C:\\Program Files\\Solvane\\Kestrix Updater\\tools\\stmflshr.BAT" };
    QTest::newRow("cmd.exe: PATHEXT not set")
            << cmd << "C:/Kestrix" << QString() << QString()
            << QStringList { "C:\\Kestrix\\stmflshr.COM", "C:\\Kestrix\\stmflshr.EXE",
                   "C:\\Kestrix\\stmflshr.BAT", "C:\\Kestrix\\stmflshr.CMD" };
}

void PreflightTest::programmerCandidates()
{
    QFETCH(int, shell);
    QFETCH(QString, workingDirectory);
    QFETCH(QString, path);
    QFETCH(QString, pathExt);
    QFETCH(QStringList, candidates);

    const std::optional<QString> pathVariable =
            path.isNull() ? std::nullopt : std::optional<QString>(path);
    QCOMPARE(::programmerCandidates(ShellKind(shell), workingDirectory, pathVariable, pathExt),
            candidates);
}

namespace {
PortAccess deniedToOthers(const QString &)
{
    return { true, QStringLiteral("Permission denied"), QStringLiteral("dialout"), true };
}

PortAccess deniedToAll(const QString &)
{
    return { true, QStringLiteral("Permission denied"), QStringLiteral("root"), false };
}
} // namespace

void PreflightTest::port_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<int>("denied");
    QTest::addColumn<int>("cause");

    const QStringList present = { "ttyS0", "ttyUSB0" };
    QTest::newRow("there, and the user's to open") << "ttyUSB0" << present << 0 << int(Cause::None);
    QTest::newRow("no port at all") << "" << QStringList() << 0 << int(Cause::NoPort);
    QTest::newRow("gone since the list was made")
            << "ttyUSB1" << present << 0 << int(Cause::PortGone);
    QTest::newRow("for a group the user is not in")
            << "ttyUSB0" << present << 1 << int(Cause::PortForGroup);
    QTest::newRow("for nobody but its owner")
            << "ttyUSB0" << present << 2 << int(Cause::PortDenied);
}

void PreflightTest::port()
{
    QFETCH(QString, port);
    QFETCH(QStringList, present);
    QFETCH(int, denied);
    QFETCH(int, cause);

    setPortAccessProbe(denied == 1 ? deniedToOthers : denied == 2 ? deniedToAll : nullptr);
    const QString device = QStringLiteral("/nonexistent/") + port;
    const RunCause refusal = checkPort(port, device, present);
    QCOMPARE(int(refusal.cause), cause);
    if (!refusal.isNull()) {
        QCOMPARE(refusal.port, port);
        QVERIFY(refusal.technical.startsWith(QStringLiteral("Refusing to run: ")));
        QVERIFY(!refusal.technical.contains(QLatin1Char('\n')));
    }
    if (denied == 1)
        QCOMPARE(refusal.group, QStringLiteral("dialout"));
}

void PreflightTest::deviceTheUserMayNotOpen()
{
#ifdef Q_OS_WIN
    QVERIFY(!portAccess(QStringLiteral("COM3")).denied);
#else
    // A device node of root's group, as the system's serial ports are of
    // dialout's. Root may open anything: it asks as nobody.
    const QString device = QStringLiteral("/tmp/kestrix-port-%1").arg(::getpid());
    QVERIFY(writeFile(device, QByteArray()));
    const auto removeDevice = qScopeGuard([&] { QFile::remove(device); });
    QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0660), 0);
    const bool asRoot = ::geteuid() == 0;
    std::vector<gid_t> groups(size_t(qMax(0, ::getgroups(0, nullptr))));
    if (asRoot) {
        const passwd *nobody = ::getpwnam("nobody");
        QVERIFY(nobody);
        QCOMPARE(::chown(QFile::encodeName(device).constData(), 0, 0), 0);
        // Its groups too, or root's group would let it in; the saved ids
        // let it become root again.
        QCOMPARE(::getgroups(int(groups.size()), groups.data()), int(groups.size()));
        QCOMPARE(::setgroups(0, nullptr), 0);
        QCOMPARE(::setresgid(nobody->pw_gid, nobody->pw_gid, 0), 0);
        QCOMPARE(::setresuid(nobody->pw_uid, nobody->pw_uid, 0), 0);
    } else {
        QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0060), 0);
    }
    const PortAccess access = portAccess(device);
    if (asRoot) {
        QCOMPARE(::setresuid(0, 0, 0), 0);
        QCOMPARE(::setresgid(0, 0, 0), 0);
        QCOMPARE(::setgroups(groups.size(), groups.data()), 0);
    }
    QVERIFY(access.denied);
    QVERIFY(!access.error.isEmpty());
    QVERIFY(access.groupMayUse);
    QVERIFY(!access.group.isEmpty());
    // What is not there is not a matter of permission.
    QVERIFY(!portAccess(QStringLiteral("/nonexistent/ttyUSB0")).denied);
#endif
}

KESTRIX_TEST_APPLESS_MAIN(PreflightTest)
#include "tst_preflight.moc"
