// Cancelling pending input and output.
#pragma once

#include "platform/windef.h"

WINBASEAPI BOOL WINAPI CancelIo(HANDLE hFile);
