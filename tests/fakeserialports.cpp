#include "serialports.h"

// Stands in for the system's enumeration: tests set the ports present.
QStringList fakeSerialPorts;

QStringList availableSerialPortNames()
{
    return fakeSerialPorts;
}
