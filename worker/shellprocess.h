#ifndef SHELLPROCESS_H
#define SHELLPROCESS_H

#include <QProcess>

#include <chrono>

#ifdef Q_OS_WIN
#include <memory>

class WindowsJob;
#endif

// The shell of one run, and everything it starts. Ending the run ends them
// all: killing only the shell would leave the programmer writing to the
// device, and holding its port, after the user was told the run failed. On
// POSIX the shell leads a process group of its own; on Windows it joins a
// job object.
class ShellProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent = nullptr);
    // Ends the shell and all it started.
    ~ShellProcess() override;

protected:
#ifndef Q_OS_WIN
    void setupChildProcess() override;
#endif

private:
    // Once the shell runs, before it is given its command.
    void holdProcessTree();
    void endProcessTree();

    std::chrono::milliseconds m_endGraceTimeout;
#ifdef Q_OS_WIN
    std::unique_ptr<WindowsJob> m_job;
#else
    qint64 m_processGroup = 0;
#endif
};

#endif // SHELLPROCESS_H
