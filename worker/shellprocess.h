#ifndef SHELLPROCESS_H
#define SHELLPROCESS_H

#include <QList>
#include <QProcess>

#include <chrono>

// The shell of one run, and everything it starts. Ending the run ends them
// all: killing only the shell would leave the programmer writing to the
// device, and holding its port, after the user was told the run failed. On
// POSIX the shell leads a process group of its own; on Windows it is started
// suspended and let go only once it is in a job object.
class ShellProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent = nullptr);
    // Ends the shell and all it started.
    ~ShellProcess() override;

    // The system's own command shell, by its full path.
    static QString systemShell();

    // Starts the shell for reading and writing.
    void startShell(const QString &program, const QStringList &arguments);
    // Whether the shell runs, and all it starts is bound to end with it.
    // Nothing may be written to a shell that is not.
    bool holdsProcessTree() const;
    // Why the shell could not be held, for the log; and whether the program
    // that started the updater is what kept it from being held.
    QString holdFailure() const { return m_holdFailure; }
    bool heldByStarter() const { return m_heldByStarter; }

#ifndef Q_OS_WIN
    struct GroupMember
    {
        qint64 pid;
        QString name;
    };
    // The processes of a group that have not ended.
    static QList<GroupMember> liveGroupMembers(qint64 group);
#endif

protected:
#if !defined(Q_OS_WIN) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 takes a modifier function for this instead.
    void setupChildProcess() override;
#endif

private:
    // Before the shell is started.
    void prepareProcessTree();
    // Once the shell runs, before it is given its command.
    void holdProcessTree();
    void endProcessTree();

    std::chrono::milliseconds m_endGraceTimeout;
    QString m_holdFailure;
    bool m_heldByStarter = false;
#ifdef Q_OS_WIN
    // The system's PROCESS_INFORMATION of the shell, and the job holding it.
    void *m_processInformation = nullptr;
    void *m_job = nullptr;
    // Whether the updater itself is in a job, and whether the shell is
    // being started outside it.
    bool m_inOuterJob = false;
    bool m_breakAway = false;
#else
    qint64 m_processGroup = 0;
#endif
};

#endif // SHELLPROCESS_H
