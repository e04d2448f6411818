#include "shellprocess.h"

ShellProcess::ShellProcess(std::chrono::milliseconds endGraceTimeout, QObject *parent)
    : QProcess(parent)
    , m_endGraceTimeout(endGraceTimeout)
{
    prepareProcessTree();
    connect(this, &QProcess::started, this, &ShellProcess::holdProcessTree);
}

ShellProcess::~ShellProcess()
{
    endProcessTree();
}
