#include "shellprocess.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <signal.h>
#include <unistd.h>

#include <utility>

using namespace std::chrono_literals;

namespace {
// In the child, between fork and exec: the shell leads a group of its own,
// which everything it starts joins.
void leadOwnProcessGroup()
{
    ::setpgid(0, 0);
}

// How long the processes of a run may take to go once they have been
// killed. Killed processes end at once unless the system holds them, in
// the middle of a driver call, say; the verdict waits for them so that the
// port is free and nothing writes to the device when the user reads it.
constexpr auto treeEndTimeout = 10s;
} // namespace

QList<ShellProcess::GroupMember> ShellProcess::liveGroupMembers(qint64 group)
{
    // /proc/<pid>/stat reads "pid (name) state ppid pgrp ...", and the name
    // may hold spaces and parentheses of its own. A zombie has ended; only
    // its entry waits for its parent.
    QList<GroupMember> members;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        bool isNumber = false;
        const qint64 id = pid.toLongLong(&isNumber);
        if (!isNumber)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const int nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd < 0 || fields.size() < 3 || fields.at(0) == "Z"
                || fields.at(2).toLongLong() != group)
            continue;
        const int nameStart = line.indexOf('(');
        members.append(
                { id, QString::fromLocal8Bit(line.mid(nameStart + 1, nameEnd - nameStart - 1)) });
    }
    return members;
}

QString ShellProcess::systemShell()
{
    return QStringLiteral("/bin/sh");
}

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

    // A signal only starts the ending, and what the shell started is not
    // this process's child to wait for.
    QElapsedTimer waited;
    waited.start();
    QList<GroupMember> left = liveGroupMembers(group);
    while (!left.isEmpty() && waited.elapsed() < treeEndTimeout.count()) {
        QThread::msleep(10);
        left = liveGroupMembers(group);
    }
    for (const GroupMember &member : std::as_const(left))
        qDebug("Process %lld (%s) did not end", member.pid, qUtf8Printable(member.name));
}
