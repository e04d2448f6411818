#include "serialports.h"

#include <QSerialPortInfo>

QStringList availableSerialPortNames()
{
    QStringList names;
#ifdef KESTRIX_STANDIN_PORT
    // Only in the trial build: a port whose device the stand-in programmer
    // pretends, so a run can be tried on a machine without a serial port or
    // by a user who may not open its ports.
    names.append(QStringLiteral(KESTRIX_STANDIN_PORT));
#endif
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(info.portName());
    return names;
}
