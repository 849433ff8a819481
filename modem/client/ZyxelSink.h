// CZyxelSink: a client's sink for the SetZyxelConfig events; CConsolaSink for GetZyxelConfig's.
#pragma once

#include "common/com/JobSink.h"
#include "modem/DaxModem.h"

using CZyxelSink = CJobSink<&DIID__ISetZyxelConfigEvents>;
using CConsolaSink =
    CJobSink<&DIID__IGetZyxelConfigEvents, DISPID_GETZYXELEVENTS_END, DISPID_GETZYXELEVENTS_PROGRESSDONE>;
