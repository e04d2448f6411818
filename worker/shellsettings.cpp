#include "shellsettings.h"

#include "shellprocess.h"

#include <QCoreApplication>

using namespace std::chrono_literals;

namespace {
ShellSettings &currentSettings()
{
    static ShellSettings settings = ShellSettings::platformDefaults();
    return settings;
}
} // namespace

ShellSettings ShellSettings::platformDefaults()
{
    const ShellKind kind = nativeShellKind();
    return ShellSettings { kind, ShellProcess::systemShell(), shellArguments(kind),
        QCoreApplication::applicationDirPath(), 30000ms, 1000ms, 1000ms, 1000ms, 1000ms, 60000ms,
        2000ms };
}

const ShellSettings &ShellSettings::current()
{
    return currentSettings();
}

void ShellSettings::setCurrent(const ShellSettings &settings)
{
    currentSettings() = settings;
}
