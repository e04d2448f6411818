#ifndef SERIALPORTS_H
#define SERIALPORTS_H

#include <QStringList>

// Names of the serial ports present, in the order the system lists them.
// Kept apart from the dialog so that tests can link a list of their own.
QStringList availableSerialPortNames();

#endif // SERIALPORTS_H
