// Sharing modes and pending deletes across every open of the PC (internal; share.cpp).
#pragma once

#include "platform/kernel32/file.h"

#include <string>

namespace plat
{
// Sharing state of the machine (share.cpp explains the design). Every check-and-change of it
// runs under this guard; a thread already holding it may nest.
class ShareGuard
{
  public:
    ShareGuard();
    ~ShareGuard();
    ShareGuard(const ShareGuard &) = delete;
    ShareGuard &operator=(const ShareGuard &) = delete;

  private:
    int fd_ = -1;
};

// Checks, under the guard, whether the file open as `fd` may be opened again with `rights` and
// `share`: ERROR_SUCCESS, ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED when a delete is pending,
// or ERROR_FILE_NOT_FOUND when the file's deleter died and the delete was completed now.
DWORD CheckOpen(int fd, const std::string &hostPath, unsigned rights, unsigned share);
// Whether any open of the platform other than `fd` has the file open.
bool OpenElsewhere(int fd);
// Takes, under the guard, the locks a new open holds: it is open, with delete on close, uses
// `rights` and denies what `share` leaves out. False with errno set.
bool TakeShareLocks(int fd, unsigned rights, unsigned share, bool deleteOnClose);
// At the close of a file marked for deletion, under the guard: unlinks it when no other open
// holds it (nor a delete-on-close open that will do it).
void UnlinkIfLastOpen(int fd, const std::string &fallbackPath);
// Holds the file as the image of a loaded library or a running program for as long as the
// returned descriptor stays open: DeleteFileA, delete-on-close opens and replacing it fail with
// ERROR_ACCESS_DENIED, opening it for writing with ERROR_SHARING_VIOLATION; renaming it stays
// allowed. Invalid when it cannot be opened.
UniqueFd HoldImage(const std::string &hostPath);
// The same hold on a descriptor already open on the file (a program's own file at its start).
bool TakeImageHold(int fd);
// ERROR_ACCESS_DENIED when an image hold other than `fd` keeps the file, else ERROR_SUCCESS.
DWORD CheckImageDelete(int fd);
// DeleteFileA's work on an existing file, under the guard: unlinks it, or marks it for deletion
// at the last close when it is open with FILE_SHARE_DELETE.
DWORD DeleteOpenableFile(const std::string &hostPath);
// For a file marked for deletion: ERROR_ACCESS_DENIED while the delete is pending,
// ERROR_FILE_NOT_FOUND when it was a dead deleter's and is done now, else ERROR_SUCCESS.
DWORD CheckPendingDelete(const std::string &hostPath);
} // namespace plat
