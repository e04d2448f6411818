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
// The Windows fake is found by cmd.exe under Wine, through WINEPATH.
class FakeProgrammer
{
public:
    enum class Kind { Posix, Windows };

    explicit FakeProgrammer(Kind kind = Kind::Posix);
    ~FakeProgrammer();

    QString dir() const { return m_dir.path(); }
    void setOutput(const QByteArray &output);
    void setSleepMs(int msecs);
    // How long it goes on running once it has printed its output.
    void setSleepAfterOutputMs(int msecs);
    // Each call's arguments, in order.
    QList<QList<QByteArray>> calls() const;
    qint64 pid() const;
    void removeFromPath();

private:
    QString programPath() const;

    Kind m_kind;
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

// The path a Windows program under Wine knows a file of this machine by.
QString wineDosPath(const QString &path);

// Short waits so that tests of time-outs take seconds, not minutes.
void useShortShellTimeouts();

// What SignalRecorder records of a whole run, by its outcome.
extern const QStringList successEvents;
extern const QStringList failureEvents;

// Names a worker's signal the way SignalRecorder records it.
QString statusEvent(const QString &statusText);

#endif // TESTSUPPORT_H
