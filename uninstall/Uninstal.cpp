// Uninstal: removes an installation of the kit, undoing what its Install.log records.
#include "platform/windows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
