#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

class MasterThread;

// Collects debug messages from any thread while it exists.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList messages() const;
};

// Records the worker's signals in the order the receiving thread sees them.
class SignalRecorder : public QObject
{
    Q_OBJECT
public:
    explicit SignalRecorder(MasterThread *worker);
    QStringList events;
};

// A folder with a fake "stmflshr" first on PATH, and the knobs of that fake.
class FakeProgrammer
{
public:
    // How a Windows build takes its arguments: as the wide command line, or
    // through a plain main() in the ANSI code page. Elsewhere there is one.
    enum class Arguments { Wide, Narrow };

    explicit FakeProgrammer(Arguments arguments = Arguments::Wide);
    ~FakeProgrammer();

    QString dir() const { return m_dir.path(); }
    void setOutput(const QByteArray &output);
    // What it writes to standard error after its output, and whether it
    // then crashes.
    void setErrorOutput(const QByteArray &errors);
    void setCrash(bool crash);
    void setSleepMs(int msecs);
    // How long it goes on running once it has printed its output.
    void setSleepAfterOutputMs(int msecs);
    // Holds each call, once recorded, until release(); the fake is released
    // when this object goes.
    void hold();
    void release();
    // Waits until it has been called this many times in all.
    bool waitForCalls(int count, int timeoutMs = 30000) const;
    // Each call's arguments, in order.
    QList<QList<QByteArray>> calls() const;
    // Of its last call: its own process id, that of the shell that ran it,
    // and whether it was this fake that ran, not a copy of it elsewhere.
    qint64 pid() const;
    qint64 parentPid() const;
    bool ranFromItsFolder() const;
    void removeFromPath();

private:
    QString programPath() const;
    QByteArray recorded(int line) const;

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

// A firmware image the updater lets through: a start-up table whose reset
// handler is an endless loop, in 256 bytes.
QByteArray firmwareImage();
// Writes a file, and the folders on its way; a firmware image unless told.
bool writeFile(const QString &path, const QByteArray &bytes = firmwareImage());

// Short waits so that tests of time-outs take seconds, not minutes.
void useShortShellTimeouts();

// The ports the system lists, each one the user may open but those denied:
// tests never depend on the machine's own ports or on who runs them.
void usePorts(const QStringList &present, const QStringList &denied = QStringList());

// What SignalRecorder records of a whole run, by its outcome.
extern const QStringList successEvents;
extern const QStringList failureEvents;

// Names a worker's signal the way SignalRecorder records it.
QString statusEvent(const QString &statusText);

// Runs a test object as QTest::qExec does. On Windows QtTest writes to the
// debugger, not to standard output, when the program has no console window
// (as under Wine, or a service); its log then goes to standard output
// through a file, so that CTest shows it.
int execTest(QObject *test, int argc, char *argv[]);

// As QTest's own main macros, with execTest.
#define KESTRIX_TEST_MAIN(TestObject, Application)                                                 \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        Application app(argc, argv);                                                               \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return execTest(&test, argc, argv);                                                        \
    }
#define KESTRIX_TEST_APPLESS_MAIN(TestObject)                                                      \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return execTest(&test, argc, argv);                                                        \
    }

#endif // TESTSUPPORT_H
