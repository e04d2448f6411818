#ifndef WINDOWSJOB_H
#define WINDOWSJOB_H

// A Windows job object that ends every process in it when the job ends. The
// shell of a run joins it, and every program the shell starts joins with it,
// so that ending the run cannot leave the programmer holding the port or
// writing to the device. Plain Win32 without Qt, so that it is tested on its
// own, built by any Windows compiler.
class WindowsJob
{
public:
    WindowsJob();
    // Ends whatever is still in the job.
    ~WindowsJob();

    WindowsJob(const WindowsJob &) = delete;
    WindowsJob &operator=(const WindowsJob &) = delete;

    // Whether the job could be made; the system's error code when not.
    bool isValid() const { return m_job != nullptr; }
    unsigned long error() const { return m_error; }

    // Puts a running process, and so all it starts from now on, into the job.
    bool assign(unsigned long processId);
    // Ends every process in the job at once.
    void terminate();

private:
    void *m_job = nullptr;
    unsigned long m_error = 0;
};

#endif // WINDOWSJOB_H
