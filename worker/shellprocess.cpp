#include "shellprocess.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

ShellProcess::ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent)
    : QProcess(parent)
    , m_endGraceTimeout(endGraceTimeout)
{
    // The child has made its own group before exec, so by the time the start
    // is reported the shell's id is also its group's.
    connect(this, &QProcess::started, this, [this] { m_processGroup = processId(); });
}

ShellProcess::~ShellProcess()
{
#ifdef Q_OS_UNIX
    if (m_processGroup <= 0)
        return;
    const auto group = static_cast<pid_t>(m_processGroup);
    if (state() != NotRunning) {
        ::kill(-group, SIGTERM);
        waitForFinished(static_cast<int>(m_endGraceTimeout.count()));
    }
    // Also when the shell ended by itself: nothing it started may outlive
    // the run. The id stays reserved while any member of the group lives.
    ::kill(-group, SIGKILL);
    if (state() != NotRunning)
        waitForFinished(-1);
#endif
}

void ShellProcess::setupChildProcess()
{
#ifdef Q_OS_UNIX
    ::setpgid(0, 0);
#endif
}
