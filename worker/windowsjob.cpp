#include "windowsjob.h"

#include <windows.h>

WindowsJob::WindowsJob()
{
    m_job = CreateJobObjectW(nullptr, nullptr);
    if (!m_job) {
        m_error = GetLastError();
        return;
    }
    // Closing the last handle ends the processes too, so they go even if the
    // updater itself is killed before it could end the job.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(
                m_job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        m_error = GetLastError();
        CloseHandle(m_job);
        m_job = nullptr;
    }
}

WindowsJob::~WindowsJob()
{
    if (!m_job)
        return;
    terminate();
    CloseHandle(m_job);
}

bool WindowsJob::assign(unsigned long processId)
{
    if (!m_job)
        return false;
    HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, processId);
    if (!process) {
        m_error = GetLastError();
        return false;
    }
    const bool assigned = AssignProcessToJobObject(m_job, process);
    if (!assigned)
        m_error = GetLastError();
    CloseHandle(process);
    return assigned;
}

void WindowsJob::terminate()
{
    if (!m_job)
        return;
    TerminateJobObject(m_job, 1);
    // TerminateJobObject only starts the ending; wait until the job is empty,
    // so that the port is free once the verdict is shown.
    for (int i = 0; i < 500; ++i) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
        if (!QueryInformationJobObject(m_job, JobObjectBasicAccountingInformation, &accounting,
                    sizeof accounting, nullptr)
                || accounting.ActiveProcesses == 0)
            return;
        Sleep(10);
    }
}
