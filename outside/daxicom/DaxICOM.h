// DaxICOM: the wrappers of the kit's components, hosted as ActiveX controls.
#pragma once

#include "outside/daxicom/CheckNics2.h"
#include "outside/daxicom/GetTcpipConfig2.h"
#include "outside/daxicom/GetZyxelConfig.h"
#include "outside/daxicom/SetTcpipConfig2.h"
#include "outside/daxicom/SetZyxelConfig.h"
