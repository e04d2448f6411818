#include "preflight.h"

PortAccess portAccess(const QString &)
{
    // A COM port has no permissions a user could be given; that another
    // program holds it only opening it would tell, and the run never does.
    return {};
}
