// QelComun, the kit's common library: application, module and system services, iterators and
// diagnostic texts. Texts are narrow Windows 1252 strings (std::string where MFC would use a
// CString); every operation returns an HRESULT-style status and none throws.
#pragma once

#include "platform/windows.h"

#include "comun/Apli.h"
#include "comun/ArgIter.h"
#include "comun/FileMap.h"
#include "comun/Iterador.h"
#include "comun/Mod.h"
#include "comun/Profile.h"
#include "comun/SerialPort.h"
#include "comun/Sis.h"
#include "comun/TxtIter.h"
#include "comun/Uti.h"
