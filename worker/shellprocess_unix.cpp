#include "shellprocess.h"

#include <signal.h>
#include <unistd.h>

QString ShellProcess::systemShell()
{
    return QStringLiteral("/bin/sh");
}

namespace {
// In the child, between fork and exec: the shell leads a group of its own,
// which everything it starts joins.
void leadOwnProcessGroup()
{
    ::setpgid(0, 0);
}
} // namespace

void ShellProcess::prepareProcessTree()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier(leadOwnProcessGroup);
#endif
}

void ShellProcess::startShell(const QString &program, const QStringList &arguments)
{
    start(program, arguments, QIODevice::ReadWrite);
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void ShellProcess::setupChildProcess()
{
    leadOwnProcessGroup();
}
#endif

void ShellProcess::holdProcessTree()
{
    // The child has made its own group before exec, so by the time the start
    // is reported the shell's id is also its group's.
    m_processGroup = processId();
    if (m_processGroup <= 0)
        m_holdFailure = QStringLiteral("could not learn the shell's process id");
}

bool ShellProcess::holdsProcessTree() const
{
    return m_processGroup > 0;
}

void ShellProcess::endProcessTree()
{
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
}
