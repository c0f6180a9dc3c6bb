#include "VeltoInterface.h"

#include "VeltoSdk.h"

VeltoInterface* getVeltoInterface() { return new VeltoSdk(); }
