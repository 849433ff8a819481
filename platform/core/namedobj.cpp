#include "platform/core/namedobj.h"
#include "platform/kit/kitmachine.h"
#include "platform/core/lasterror.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace
{
constexpr uint32_t kMagic = 0x4B4F424A; // "KOBJ"

struct Header
{
    uint32_t magic;
    uint32_t kind;
    uint64_t payloadSize;
};

// Object names may hold any character but NUL; the file name keeps letters and digits and
// escapes the rest, so names stay case-sensitive and distinct.
std::string FileNameOf(std::string_view name)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "obj-";
    for (unsigned char c : name)
    {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_')
            out += static_cast<char>(c);
        else
        {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool LockByte(int fd, short type, off_t offset, bool wait)
{
    struct flock lock
    {
    };
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    for (;;)
    {
        if (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Whether another open file description holds a lock on the byte.
bool OthersHold(int fd, off_t offset)
{
    struct flock lock
    {
    };
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0)
        return false;
    return lock.l_type != F_UNLCK;
}

bool WriteHeader(int fd, const Header &header)
{
    if (::ftruncate(fd, 0) != 0)
        return false;
    if (::ftruncate(fd, static_cast<off_t>(plat::NamedObjectFile::kHeaderSize + header.payloadSize)) != 0)
        return false;
    return ::pwrite(fd, &header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
}
} // namespace

namespace plat
{
std::optional<NamedObjectFile> NamedObjectFile::Open(std::string_view name, NamedKind kind,
                                                     uint64_t payloadSize, bool create, bool &existed,
                                                     Creation creation)
{
    existed = false;
    const std::string folder = kitpc::PathOf("objects");
    ::mkdir(folder.c_str(), 0755);
    const std::string path = folder + "/" + FileNameOf(name);
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644);
    if (fd < 0)
    {
        SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : Win32FromErrno(errno));
        return std::nullopt;
    }
    auto fail = [fd](DWORD error) -> std::optional<NamedObjectFile> {
        ::close(fd);
        SetLastError(error);
        return std::nullopt;
    };
    if (!LockByte(fd, F_WRLCK, 1, true))
        return fail(Win32FromErrno(errno));
    Header header{};
    existed = OthersHold(fd, 0);
    if (existed)
    {
        if (::pread(fd, &header, sizeof header, 0) != static_cast<ssize_t>(sizeof header) ||
            header.magic != kMagic)
            return fail(ERROR_INVALID_HANDLE);
        if (header.kind != static_cast<uint32_t>(kind))
            return fail(ERROR_INVALID_HANDLE);
    }
    else
    {
        if (!create)
            return fail(ERROR_FILE_NOT_FOUND);
        header = Header{kMagic, static_cast<uint32_t>(kind), payloadSize};
        if (!WriteHeader(fd, header))
            return fail(Win32FromErrno(errno));
    }
    if (!LockByte(fd, F_RDLCK, 0, true))
        return fail(Win32FromErrno(errno));
    NamedObjectFile file(fd, header.payloadSize, true);
    if (existed || creation == Creation::Done)
        file.Ready();
    return file;
}

NamedObjectFile::NamedObjectFile(NamedObjectFile &&other) noexcept
    : fd_(other.fd_), payloadSize_(other.payloadSize_), creating_(other.creating_)
{
    other.fd_ = -1;
    other.creating_ = false;
}

void NamedObjectFile::Ready()
{
    if (std::exchange(creating_, false) && fd_ >= 0)
        LockByte(fd_, F_UNLCK, 1, false);
}

NamedObjectFile::~NamedObjectFile()
{
    if (fd_ >= 0)
        ::close(fd_); // drops this handle's lock: the object goes with its last handle
}
} // namespace plat
