#include "preflight.h"
#include "serialports.h"

// The ports the screen reader test hears of, whatever this machine has:
// named in KESTRIX_A11Y_PORTS, separated by spaces. Their devices are the
// stand-in's to pretend, so nothing keeps the user from them.
QStringList availableSerialPortNames()
{
    static const bool granted = [] {
        setPortAccessProbe([](const QString &) { return PortAccess {}; });
        return true;
    }();
    Q_UNUSED(granted)
    return qEnvironmentVariable("KESTRIX_A11Y_PORTS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
