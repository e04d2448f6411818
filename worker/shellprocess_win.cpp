#include "shellprocess.h"

#include <qt_windows.h>

#include <string>

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

QString ShellProcess::systemShell()
{
    // From the system folder Windows reports: neither a search, which would
    // look in the updater's folders first, nor ComSpec, which anyone can set.
    std::wstring folder(MAX_PATH, L'\0');
    UINT length = GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    if (length >= folder.size()) {
        folder.resize(length);
        length = GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    }
    // With no system folder there is no shell to start, and the run fails.
    if (length == 0 || length >= folder.size())
        return QString();
    return QString::fromWCharArray(folder.data(), int(length)) + QStringLiteral("\\cmd.exe");
}

void ShellProcess::prepareProcessTree()
{
    // Held before it runs a single instruction, so that nothing it starts
    // can be outside the job.
    setCreateProcessArgumentsModifier([this](QProcess::CreateProcessArguments *arguments) {
        arguments->flags |= CREATE_SUSPENDED;
        if (m_breakAway)
            arguments->flags |= CREATE_BREAKAWAY_FROM_JOB;
        m_processInformation = arguments->processInformation;
    });
}

void ShellProcess::startShell(const QString &program, const QStringList &arguments)
{
    BOOL inJob = FALSE;
    m_inOuterJob = IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) && inJob;
    // Outside any job the updater was started in, where that job lets it go:
    // Windows before 8 cannot put the shell in a job of the updater's own
    // while it is in another.
    m_breakAway = m_inOuterJob;
    start(program, arguments, QIODevice::ReadWrite);
    if (m_breakAway && state() == NotRunning) {
        // That job keeps what its processes start; where Windows allows jobs
        // in jobs, the updater's own goes inside it.
        m_breakAway = false;
        start(program, arguments, QIODevice::ReadWrite);
    }
}

void ShellProcess::holdProcessTree()
{
    const auto *shell = static_cast<const PROCESS_INFORMATION *>(m_processInformation);
    HANDLE job = createKillOnCloseJob();
    const bool held = job && AssignProcessToJobObject(job, shell->hProcess);
    if (held && ResumeThread(shell->hThread) != DWORD(-1)) {
        m_job = job;
        return;
    }
    const DWORD error = GetLastError();
    const char *step = !job ? "make a job object"
            : !held         ? "put the shell into its job object"
                            : "let the shell run";
    m_holdFailure = QStringLiteral("could not %1, error %2")
                            .arg(QLatin1String(step), QString::number(error));
    // A restart changes nothing here: what started the updater keeps
    // everything it starts in a job of its own, which admits no other.
    m_heldByStarter = job && !held && m_inOuterJob;
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
