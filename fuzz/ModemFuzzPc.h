// What the modem module's fuzz targets share: a fresh simulated PC whose program folder is the
// current directory, and the module's trace log there.
#pragma once

#include "common/trace/TraceLog.h"
#include "platform/kit/kitmachine.h"
#include "platform/windows.h"
#include "testing/machine.h"

#include <string>

namespace modemfuzz
{
// Makes the PC (for the whole run) and enters its program folder; the folder's Windows path.
inline std::string EnterNewPc()
{
    static const kittest::TempMachine machine("kit-fuzz");
    const std::string dir = kitpc::PathOf("program_files");
    SetCurrentDirectoryA(dir.c_str());
    return dir;
}

// "DaxModem.txt", always on, for the whole run.
inline CTraceLog *OpenModemLog()
{
    auto *log = new CTraceLog;
    log->SetFileName("DaxModem.txt");
    log->SetAlwaysOn(1);
    log->Open();
    return log;
}
// Starts the log afresh every `every` runs, once it has grown past its limit.
inline void RenewLog(CTraceLog &log, unsigned every)
{
    static unsigned runs = 0;
    if (++runs % every == 0)
        log.Open();
}
} // namespace modemfuzz
