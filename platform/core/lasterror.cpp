#include "platform/core/lasterror.h"

#include <cerrno>

namespace plat
{
DWORD Win32FromErrno(int err)
{
    switch (err)
    {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EROFS:
        return ERROR_WRITE_PROTECT;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY:
        return ERROR_BUSY;
    case EPIPE:
        return ERROR_BROKEN_PIPE;
    case ESPIPE:
        return ERROR_SEEK_ON_DEVICE;
    case ENODEV:
    case ENXIO:
        return ERROR_DEV_NOT_EXIST;
    case ETIMEDOUT:
        return ERROR_SEM_TIMEOUT;
    case EINTR:
        return ERROR_OPERATION_ABORTED;
    case ENOEXEC:
        return ERROR_BAD_EXE_FORMAT;
    case ELOOP:
        return ERROR_CANT_RESOLVE_FILENAME;
    case EIO:
    default:
        return ERROR_GEN_FAILURE;
    }
}

BOOL FailFromErrno()
{
    return Fail(Win32FromErrno(errno));
}
} // namespace plat
