// CZyxelSink: a client's sink for the SetZyxelConfig events.
#pragma once

#include "common/com/JobSink.h"
#include "modem/DaxModem.h"

using CZyxelSink = CJobSink<&DIID__ISetZyxelConfigEvents>;
