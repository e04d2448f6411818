#include "shellprocess.h"

#ifdef Q_OS_WIN
#include "windowsjob.h"
#endif

ShellProcess::ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent)
    : QProcess(parent)
    , m_endGraceTimeout(endGraceTimeout)
{
    connect(this, &QProcess::started, this, &ShellProcess::holdProcessTree);
}

ShellProcess::~ShellProcess()
{
    endProcessTree();
}
