// QelApli, the wizard's application library: the kit's application and module objects and the
// application registry. Texts are narrow Windows 1252 strings; every operation returns an
// HRESULT-style status and none throws.
#pragma once

#include "outside/qelapli/ApliKIT.h"
#include "outside/qelapli/RegApli.h"
