// The logged-on user's name (machine.ini).
#include "platform/kit/kitmachine.h"
#include "platform/core/text.h"

// GetUserNameA: the logged-on user from machine.ini. On success *pcbBuffer counts the terminator;
// too small: ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer)
{
    return plat::CopyNameOut(kitpc::ReadIdentity().userName, lpBuffer, pcbBuffer, ERROR_INSUFFICIENT_BUFFER,
                             true);
}
