#ifndef SHELLPROCESS_H
#define SHELLPROCESS_H

#include <QProcess>

#include <chrono>

// The shell of one run. On POSIX it leads a process group of its own, so that
// ending the run also ends the programmer the shell started: killing only the
// shell would leave the programmer writing to the device after the user was
// told the run failed.
class ShellProcess : public QProcess
{
    Q_OBJECT

public:
    explicit ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent = nullptr);
    // Ends the whole group: asks it to end, waits the grace time for the
    // shell, then kills whatever of the group is left.
    ~ShellProcess() override;

protected:
    void setupChildProcess() override;

private:
    std::chrono::milliseconds m_endGraceTimeout;
    qint64 m_processGroup = 0;
};

#endif // SHELLPROCESS_H
