#include "shellprocess.h"

#include <qt_windows.h>

namespace {
// Closing the last handle ends the processes too, so they go even if the
// updater itself is killed before it could end the job.
HANDLE createKillOnCloseJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        const DWORD error = GetLastError();
        CloseHandle(job);
        SetLastError(error);
        return nullptr;
    }
    return job;
}

bool isEmpty(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    return !QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                   sizeof accounting, nullptr)
            || accounting.ActiveProcesses == 0;
}
} // namespace

void ShellProcess::prepareProcessTree()
{
    // Held before it runs a single instruction, so that nothing it starts
    // can be outside the job.
    setCreateProcessArgumentsModifier([this](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
        m_processInformation = arguments->processInformation;
    });
}

void ShellProcess::holdProcessTree()
{
    const auto *shell = static_cast<const PROCESS_INFORMATION *>(m_processInformation);
    HANDLE job = createKillOnCloseJob();
    const char *step = "make a job object";
    if (job) {
        step = "put the shell into its job object";
        if (AssignProcessToJobObject(job, shell->hProcess)) {
            step = "let the shell run";
            if (ResumeThread(shell->hThread) != DWORD(-1)) {
                m_job = job;
                return;
            }
        }
    }
    m_holdFailure = QStringLiteral("could not %1, error %2")
                            .arg(QLatin1String(step), QString::number(GetLastError()));
    // It never ran; it must not start now.
    TerminateProcess(shell->hProcess, 1);
    if (job)
        CloseHandle(job);
}

bool ShellProcess::holdsProcessTree() const
{
    return m_job != nullptr;
}

void ShellProcess::endProcessTree()
{
    // Windows has no polite request for a program without a window: the
    // job ends the shell and all it started at once, also when the shell
    // ended by itself but left something running.
    if (m_job) {
        TerminateJobObject(m_job, 1);
        // That only starts the ending; the port is free once the job is
        // empty, and only then may the verdict be shown.
        for (int i = 0; i < 500 && !isEmpty(m_job); ++i)
            Sleep(10);
        CloseHandle(m_job);
        m_job = nullptr;
    }
    if (state() != NotRunning)
        waitForFinished(static_cast<int>(m_endGraceTimeout.count()));
}
