#include "VeltoHttpSdkInterface.h"

#include "VeltoHttpSignal.h"

VeltoHttpSdkInterface* VeltoHttpSdkInterface::CreateNew() { return new VeltoHttpSignal(); }
