#include "shellprocess.h"

#include "windowsjob.h"

#include <QDebug>

void ShellProcess::holdProcessTree()
{
    // cmd.exe is still waiting for its command, so it has started nothing
    // that could escape the job.
    m_job = std::make_unique<WindowsJob>();
    if (!m_job->assign(static_cast<unsigned long>(processId())))
        qDebug() << "Could not put the shell into a job object, error" << m_job->error();
}

void ShellProcess::endProcessTree()
{
    // Windows has no polite request for a program without a window: the
    // job ends the shell and all it started at once, also when the shell
    // ended by itself but left something running.
    if (m_job)
        m_job->terminate();
    if (state() != NotRunning)
        waitForFinished(static_cast<int>(m_endGraceTimeout.count()));
}
