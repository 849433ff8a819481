// Files and devices: CreateFileA, input and output, sharing, deleting, copying and moving.
#ifndef _WIN32
#include "platform/kit/kitmachine.h"
#endif
#include "platform/windows.h"
#include "testing/kittest.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace
{
using kittest::Native;
using kittest::Temp;
using kittest::TempFolder;
constexpr DWORD kSentinel = 0xdeadbeef;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Open(const std::string &path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING,
            DWORD flags = 0)
{
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

void Put(const std::string &path, const std::string &content, DWORD attributes = 0)
{
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, attributes);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << " error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    CloseHandle(file);
}

// The file's content, or "<error N>".
std::string Get(const std::string &path)
{
    HANDLE file = Open(path, GENERIC_READ, kShareAll);
    if (file == INVALID_HANDLE_VALUE)
        return "<error " + std::to_string(GetLastError()) + ">";
    std::string content(4096, '\0');
    DWORD got = 0;
    ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
    CloseHandle(file);
    content.resize(got);
    return content;
}

// The last error a failing call leaves, the sentinel set before it.
template <class F> DWORD ErrorOf(F call)
{
    SetLastError(kSentinel);
    EXPECT_FALSE(call());
    return GetLastError();
}

DWORD OpenError(const std::string &path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING,
                DWORD flags = 0)
{
    SetLastError(kSentinel);
    HANDLE file = Open(path, access, share, disposition, flags);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

// A process of its own holding a file open (tests/child_fileholder.cpp) until this process lets
// go of the named mutex it waits for.
class Holder
{
  public:
    Holder(const std::string &path, const char *access, const char *share)
        : name_("KitFileHolder" + std::to_string(GetCurrentProcessId()) + "." + std::to_string(++count_)),
          mutex_(CreateMutexA(nullptr, TRUE, name_.c_str())),
          child_("platform_child_fileholder", {path, access, share, name_}), status_(child_.ReadLine())
    {
    }
    ~Holder() { Release(); }
    const std::string &Status() const { return status_; }
    // Lets the child close its handle and exit.
    void Release()
    {
        if (mutex_)
        {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
            mutex_ = nullptr;
        }
        child_.Wait();
    }
    void Kill()
    {
        child_.Kill();
        Release();
    }

  private:
    static inline int count_ = 0;
    std::string name_;
    HANDLE mutex_;
    kittest::Child child_;
    std::string status_;
};

std::vector<char> PendingRenames()
{
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    std::vector<char> data(size);
    RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                     reinterpret_cast<BYTE *>(data.data()), &size);
    RegCloseKey(key);
    return data;
}
} // namespace

TEST(CreatingFiles, DispositionsAndTheirLastErrors)
{
    struct Case
    {
        DWORD disposition;
        bool exists;
        DWORD error;       // ERROR_SUCCESS: opened
        DWORD lastError;   // after a successful open
        const char *after; // content afterwards
    } cases[] = {
        {CREATE_NEW, false, ERROR_SUCCESS, 0, ""},
        {CREATE_NEW, true, ERROR_FILE_EXISTS, 0, "old"},
        {CREATE_ALWAYS, false, ERROR_SUCCESS, 0, ""},
        {CREATE_ALWAYS, true, ERROR_SUCCESS, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, 0, nullptr},
        {OPEN_EXISTING, true, ERROR_SUCCESS, 0, "old"},
        {OPEN_ALWAYS, false, ERROR_SUCCESS, 0, ""},
        {OPEN_ALWAYS, true, ERROR_SUCCESS, ERROR_ALREADY_EXISTS, "old"},
        {TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, 0, nullptr},
        {TRUNCATE_EXISTING, true, ERROR_SUCCESS, 0, ""},
    };
    int row = 0;
    for (const Case &c : cases)
    {
        SCOPED_TRACE(row);
        const std::string path = Temp("disp" + std::to_string(row++) + ".txt");
        if (c.exists)
            Put(path, "old");
        SetLastError(kSentinel);
        HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        if (c.error != ERROR_SUCCESS)
        {
            EXPECT_EQ(file, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.error);
        }
        else
        {
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            EXPECT_EQ(GetLastError(), c.lastError);
            EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));
            CloseHandle(file);
        }
        if (c.after)
            EXPECT_EQ(Get(path), c.after);
        else
            EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST(CreatingFiles, RefusalsAndNames)
{
    ASSERT_TRUE(CreateDirectoryA(Temp("folder").c_str(), nullptr));
    struct Case
    {
        std::string path;
        DWORD access, share, disposition, flags, error;
    } cases[] = {
        {Temp("nofolder/x.txt"), GENERIC_READ, 0, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
        {Temp("nofolder/x.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS, 0, ERROR_PATH_NOT_FOUND},
        {Temp("folder"), GENERIC_READ, 0, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
        {Temp("folder"), GENERIC_WRITE, 0, CREATE_ALWAYS, 0, ERROR_ACCESS_DENIED},
        {Temp("x.txt"), GENERIC_READ, 0, 0, 0, ERROR_INVALID_PARAMETER},
        {Temp("x.txt"), GENERIC_READ, 0, 6, 0, ERROR_INVALID_PARAMETER},
        {Temp("x.txt"), GENERIC_READ, 8, CREATE_ALWAYS, 0, ERROR_INVALID_PARAMETER},
#ifndef _WIN32
        // Flags the simulated PC does not implement.
        {Temp("x.txt"), GENERIC_READ, 0, CREATE_ALWAYS, 0x02000000 /* BACKUP_SEMANTICS */,
         ERROR_CALL_NOT_IMPLEMENTED},
#endif
        {"", GENERIC_READ, 0, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
        {"/" + std::string(260, 'a'), GENERIC_READ, 0, OPEN_EXISTING, 0, ERROR_FILENAME_EXCED_RANGE},
        {"/" + std::string(259, 'a'), GENERIC_READ, 0, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
    };
    int row = 0;
    for (const Case &c : cases)
    {
        SCOPED_TRACE(row++);
        EXPECT_EQ(OpenError(c.path, c.access, c.share, c.disposition, c.flags), c.error);
    }
#ifndef _WIN32
    // No name at all: Windows documents no error for it.
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Template files are not implemented.
    HANDLE first = Open(Temp("t.txt"), GENERIC_READ, kShareAll, CREATE_ALWAYS);
    SetLastError(kSentinel);
    EXPECT_EQ(CreateFileA(Temp("u.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, first),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    CloseHandle(first);
#endif
}

TEST(CreatingFiles, BothSeparatorsAndAnyCase)
{
    TempFolder();
    ASSERT_TRUE(CreateDirectoryA((kittest::MachineDir() + "\\temp\\Sub").c_str(), nullptr));
    Put(kittest::MachineDir() + "\\temp\\Sub\\File.TXT", "mixed");
    EXPECT_EQ(Get(Temp("sub/file.txt")), "mixed");
    EXPECT_EQ(Get(kittest::MachineDir() + "/TEMP\\SUB/FILE.txt"), "mixed");
    EXPECT_NE(GetFileAttributesA(Temp("SUB\\file.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
    Put(Temp("SUB/FILE.TXT"), "again"); // the existing name is reused, not a second file made
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Temp("sub/*.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "File.TXT");
    EXPECT_FALSE(FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_TRUE(DeleteFileA(Temp("sub\\FILE.txt").c_str()));
}

TEST(FileIo, ReadWriteSeekAndSize)
{
    const std::string path = Temp("io.txt");
    HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = kSentinel, high = kSentinel;
    ASSERT_TRUE(WriteFile(file, "hello world", 11, &done, nullptr));
    EXPECT_EQ(done, 11u);
    EXPECT_EQ(GetFileSize(file, &high), 11u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
    char buffer[32] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 5, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "hello");
    EXPECT_EQ(SetFilePointer(file, 1, nullptr, FILE_CURRENT), 6u);
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "world");
    done = kSentinel;
    EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr)); // at the end: TRUE, nothing
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 8u);

    SetLastError(kSentinel);
    EXPECT_EQ(SetFilePointer(file, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 8u); // unchanged
    SetLastError(kSentinel);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // Past the end: the gap reads as zeros; SetEndOfFile cuts at the pointer.
    EXPECT_EQ(SetFilePointer(file, 20, nullptr, FILE_BEGIN), 20u);
    ASSERT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), 21u);
    EXPECT_EQ(Get(path), std::string("hello world") + std::string(9, '\0') + "x");
    EXPECT_TRUE(WriteFile(file, "", 0, &done, nullptr));
    EXPECT_EQ(GetFileSize(file, nullptr), 21u);
    SetFilePointer(file, 4, nullptr, FILE_BEGIN);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, nullptr), 4u);

    // 64-bit positions through the high part.
    LONG moveHigh = 1;
    EXPECT_EQ(SetFilePointer(file, 16, &moveHigh, FILE_BEGIN), 16u);
    EXPECT_EQ(moveHigh, 1);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_EQ(GetFileSize(file, &high), 16u);
    EXPECT_EQ(high, 1u);
    SetLastError(kSentinel);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER); // does not fit 32 bits
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    moveHigh = 0;
    SetLastError(kSentinel);
    EXPECT_EQ(SetFilePointer(file, -1, &moveHigh, FILE_BEGIN), INVALID_SET_FILE_POINTER); // 0xFFFFFFFF
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(moveHigh, 0);
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
}

TEST(FileIo, AccessRightsAndBadArguments)
{
    const std::string path = Temp("rights.txt");
    Put(path, "data");
    HANDLE reader = Open(path, GENERIC_READ, kShareAll);
    HANDLE writer = Open(path, GENERIC_WRITE, kShareAll);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    char buffer[8];
    DWORD done;
    EXPECT_EQ(ErrorOf([&] { return WriteFile(reader, "x", 1, &done, nullptr); }), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf([&] { return ReadFile(writer, buffer, 1, &done, nullptr); }),
              DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf([&] { return FlushFileBuffers(reader); }), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ErrorOf([&] { return ReadFile(reader, buffer, 1, nullptr, nullptr); }),
              DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(ErrorOf([&] { return ReadFile(reader, nullptr, 1, &done, nullptr); }), DWORD(ERROR_NOACCESS));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr); // made first: it must not get reader's value
    CloseHandle(reader);
    CloseHandle(writer);

    for (HANDLE bad : {HANDLE(nullptr), INVALID_HANDLE_VALUE, reader, event})
    {
        EXPECT_EQ(ErrorOf([&] { return ReadFile(bad, buffer, 1, &done, nullptr); }),
                  DWORD(ERROR_INVALID_HANDLE));
        SetLastError(kSentinel);
        EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(GetFileType(bad), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
        EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
        EXPECT_FALSE(SetEndOfFile(bad));
    }
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(reader)); // already closed
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
}

TEST(FileIo, OverlappedOffsets)
{
    const std::string path = Temp("ov.txt");
    Put(path, "hello world");
    HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED ov = {};
    ov.Offset = 6;
    ov.hEvent = event;
    char buffer[16] = {};
    DWORD done = 0;
    ASSERT_TRUE(ReadFile(file, buffer, 5, &done, &ov));
    EXPECT_EQ(std::string(buffer, done), "world");
    EXPECT_EQ(ov.InternalHigh, 5u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 11u); // a synchronous handle moves on
    ov.Offset = 100;
    EXPECT_EQ(ErrorOf([&] { return ReadFile(file, buffer, 5, &done, &ov); }), DWORD(ERROR_HANDLE_EOF));
    ov.Offset = ov.OffsetHigh = 0xFFFFFFFF; // at the end
    ASSERT_TRUE(WriteFile(file, "!", 1, &done, &ov));
    CloseHandle(file);
    EXPECT_EQ(Get(path), "hello world!");

    file = Open(path, GENERIC_READ, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ErrorOf([&] { return ReadFile(file, buffer, 5, &done, nullptr); }),
              DWORD(ERROR_INVALID_PARAMETER));
    ov = {};
    ov.hEvent = event;
    ResetEvent(event);
    // Windows may finish it at once or later (ERROR_IO_PENDING).
    if (!ReadFile(file, buffer, 5, nullptr, &ov))
    {
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        ASSERT_TRUE(GetOverlappedResult(file, &ov, &done, TRUE));
        EXPECT_EQ(done, 5u);
    }
    EXPECT_EQ(ov.InternalHigh, 5u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    CloseHandle(file);
    CloseHandle(event);
}

TEST(Sharing, WithinOneProcess)
{
    constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, D = DELETE;
    constexpr DWORD sR = FILE_SHARE_READ, sW = FILE_SHARE_WRITE;
    struct Case
    {
        DWORD access1, share1, access2, share2;
        bool opens;
    } cases[] = {
        {R, sR, R, sR, true},
        {R, sR, W, sR | sW, false}, // the first does not share writing
        {R, sR | sW, W, sR | sW, true},
        {R, sR | sW, W, sW, false},  // the second would deny reading the first does
        {W, 0, R, kShareAll, false}, // exclusive
        {R, 0, R, kShareAll, false},
        {0, 0, R, 0, true}, // opens that touch no data take no part
        {R, 0, 0, 0, true},
        {R | W, kShareAll, D, sR | sW, true},
        {R, sR, D, kShareAll, false},      // delete needs FILE_SHARE_DELETE
        {D, kShareAll, R, sR | sW, false}, // ... and the second must share the first's delete
    };
    const std::string path = Temp("share.txt");
    Put(path, "x");
    int row = 0;
    for (const Case &c : cases)
    {
        SCOPED_TRACE(row++);
        HANDLE first = Open(path, c.access1, c.share1);
        ASSERT_NE(first, INVALID_HANDLE_VALUE);
        EXPECT_EQ(OpenError(path, c.access2, c.share2),
                  c.opens ? ERROR_SUCCESS : DWORD(ERROR_SHARING_VIOLATION));
        CloseHandle(first);
        EXPECT_EQ(OpenError(path, c.access2, c.share2), static_cast<DWORD>(ERROR_SUCCESS));
    }
    // A refused CREATE_ALWAYS leaves the content alone.
    HANDLE holder = Open(path, GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(OpenError(path, GENERIC_WRITE, kShareAll, CREATE_ALWAYS),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(holder);
    EXPECT_EQ(Get(path), "x");
}

TEST(Sharing, ExclusiveOpensRaceBetweenThreads)
{
    const std::string path = Temp("race.txt");
    Put(path, "x");
    constexpr int kThreads = 8;
    std::atomic<int> opened{0}, refused{0};
    std::vector<HANDLE> handles(kThreads, INVALID_HANDLE_VALUE);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            handles[i] = Open(path, GENERIC_READ | GENERIC_WRITE, 0);
            if (handles[i] != INVALID_HANDLE_VALUE)
                ++opened;
            else if (GetLastError() == ERROR_SHARING_VIOLATION)
                ++refused;
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(opened.load(), 1);
    EXPECT_EQ(refused.load(), kThreads - 1);
    for (HANDLE h : handles)
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
}

TEST(Sharing, AcrossProcesses)
{
    const std::string path = Temp("held.txt");
    Put(path, "held");
    {
        Holder holder(path, "rw", "-");
        ASSERT_EQ(holder.Status(), "ok");
        EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(ErrorOf([&] { return DeleteFileA(path.c_str()); }), DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(ErrorOf([&] { return MoveFileA(path.c_str(), Temp("moved.txt").c_str()); }),
                  DWORD(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(ErrorOf([&] { return CopyFileA(path.c_str(), Temp("copy.txt").c_str(), FALSE); }),
                  DWORD(ERROR_SHARING_VIOLATION));
        holder.Release();
        EXPECT_EQ(OpenError(path, GENERIC_READ, 0), static_cast<DWORD>(ERROR_SUCCESS));
    }
    {
        Holder reader(path, "r", "r");
        ASSERT_EQ(reader.Status(), "ok");
        EXPECT_EQ(OpenError(path, GENERIC_READ, FILE_SHARE_READ), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(OpenError(path, GENERIC_WRITE, kShareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_EQ(Holder(path, "r", "r").Status(), "ok");
    }
    {
        // And the other way round: a child is refused what this process holds.
        HANDLE mine = Open(path, GENERIC_WRITE, FILE_SHARE_READ);
        ASSERT_NE(mine, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Holder(path, "r", "r").Status(), "error 32");
        EXPECT_EQ(Holder(path, "r", "rw").Status(), "ok");
        CloseHandle(mine);
    }
    {
        Holder killed(path, "rw", "-");
        ASSERT_EQ(killed.Status(), "ok");
        EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        killed.Kill(); // a dead holder's opens go with it
        EXPECT_EQ(OpenError(path, GENERIC_READ, 0), static_cast<DWORD>(ERROR_SUCCESS));
    }
}

TEST(Sharing, DeletePendingUntilTheLastHandle)
{
    const std::string path = Temp("pending.txt");
    Put(path, "x");
    {
        Holder holder(path, "r", "rwd");
        ASSERT_EQ(holder.Status(), "ok");
        EXPECT_TRUE(DeleteFileA(path.c_str()));
        SetLastError(kSentinel);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll, OPEN_ALWAYS),
                  static_cast<DWORD>(ERROR_ACCESS_DENIED));
        holder.Release();
        SetLastError(kSentinel);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    Put(path, "x");
    {
        Holder holder(path, "r", "rwd");
        ASSERT_EQ(holder.Status(), "ok");
        EXPECT_TRUE(DeleteFileA(path.c_str()));
        holder.Kill(); // the delete completes at the next look
        SetLastError(kSentinel);
        EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(OpenError(path, GENERIC_WRITE, 0, CREATE_NEW), static_cast<DWORD>(ERROR_SUCCESS));
    }
}

TEST(DeleteOnClose, GoesWithTheLastHandle)
{
    const std::string path = Temp("doc.tmp");
    HANDLE file =
        Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    CloseHandle(file);
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    file =
        Open(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
    EXPECT_EQ(OpenError(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION)); // the delete-on-close open has delete access
    HANDLE other = Open(path, GENERIC_READ, kShareAll);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll), static_cast<DWORD>(ERROR_ACCESS_DENIED)); // pending
    CloseHandle(other);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    Put(path, "ro", FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(OpenError(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(ReadOnly, AttributeRules)
{
    const std::string path = Temp("ro.txt");
    HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done;
    EXPECT_TRUE(WriteFile(file, "made", 4, &done, nullptr)); // the creating handle may still write
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    for (DWORD disposition : {DWORD(OPEN_EXISTING), DWORD(CREATE_ALWAYS), DWORD(TRUNCATE_EXISTING)})
        EXPECT_EQ(OpenError(path, GENERIC_WRITE, 0, disposition), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Get(path), "made");
    EXPECT_EQ(ErrorOf([&] { return DeleteFileA(path.c_str()); }), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}

TEST(Attributes, KeptAndReported)
{
    const std::string path = Temp("attr.txt");
    Put(path, "a");
    EXPECT_EQ(GetFileAttributesA(path.c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE)); // as Windows makes files
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // Overwriting a hidden or system file needs the same attributes.
    EXPECT_EQ(OpenError(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL),
              static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(OpenError(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetFileAttributesA(path.c_str()),
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), 0));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));

    const std::string folder = Temp("rofolder");
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA(folder.c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
    Put(folder + "/inside.txt", "a read-only folder still takes files, as on Windows");
    EXPECT_TRUE(DeleteFileA((folder + "/inside.txt").c_str()));
    EXPECT_EQ(ErrorOf([&] { return RemoveDirectoryA(folder.c_str()); }), DWORD(ERROR_ACCESS_DENIED));

    struct Missing
    {
        std::string path;
        DWORD error;
    } missing[] = {
        {Temp("none.txt"), ERROR_FILE_NOT_FOUND},
        {Temp("none/none.txt"), ERROR_PATH_NOT_FOUND},
        {Temp("attr.txt/none.txt"), ERROR_PATH_NOT_FOUND},
        {"", ERROR_PATH_NOT_FOUND},
        {"/" + std::string(260, 'a'), ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Missing &m : missing)
    {
        SetLastError(kSentinel);
        EXPECT_EQ(GetFileAttributesA(m.path.c_str()), INVALID_FILE_ATTRIBUTES) << m.path;
        EXPECT_EQ(GetLastError(), m.error) << m.path;
        SetLastError(kSentinel);
        EXPECT_FALSE(SetFileAttributesA(m.path.c_str(), FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(GetLastError(), m.error) << m.path;
    }
}

TEST(DeletingFiles, Rules)
{
    ASSERT_TRUE(CreateDirectoryA(Temp("dir").c_str(), nullptr));
    struct Case
    {
        std::string path;
        DWORD error;
    } cases[] = {
        {Temp("none.txt"), ERROR_FILE_NOT_FOUND},
        {Temp("none/none.txt"), ERROR_PATH_NOT_FOUND},
        {Temp("dir"), ERROR_ACCESS_DENIED},
#ifndef _WIN32
        {"\\\\.\\COM1", ERROR_ACCESS_DENIED}, // the PC's serial port
#endif
        {"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(DeleteFileA(c.path.c_str())) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    const std::string path = Temp("del.txt");
    Put(path, "x");
    HANDLE noDelete = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_EQ(ErrorOf([&] { return DeleteFileA(path.c_str()); }), DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(noDelete);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(CopyingFiles, Rules)
{
    const std::string source = Temp("src.txt"), target = Temp("dst.txt");
    Put(source, "content", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CopyFileA(source.c_str(), target.c_str(), TRUE));
    EXPECT_EQ(Get(target), "content");
    EXPECT_TRUE(GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    SetLastError(kSentinel);
    EXPECT_FALSE(CopyFileA(source.c_str(), target.c_str(), FALSE)); // the read-only copy cannot be replaced
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);
    Put(target, "older");
    EXPECT_EQ(ErrorOf([&] { return CopyFileA(source.c_str(), target.c_str(), TRUE); }),
              DWORD(ERROR_FILE_EXISTS));
    EXPECT_EQ(Get(target), "older");
    EXPECT_TRUE(CopyFileA(source.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(Get(target), "content");

    struct Case
    {
        std::string from, to;
        BOOL failIfExists;
        DWORD error;
    } cases[] = {
        {Temp("none.txt"), Temp("x.txt"), FALSE, ERROR_FILE_NOT_FOUND},
        {source, Temp("none/x.txt"), FALSE, ERROR_PATH_NOT_FOUND},
        {source, source, FALSE, ERROR_SHARING_VIOLATION}, // onto itself
        {source, source, TRUE, ERROR_FILE_EXISTS},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(CopyFileA(c.from.c_str(), c.to.c_str(), c.failIfExists)) << c.from << " " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " " << c.to;
    }
    EXPECT_EQ(Get(source), "content");
    HANDLE writer = Open(source, GENERIC_WRITE, FILE_SHARE_WRITE); // a source open without FILE_SHARE_READ
    EXPECT_EQ(ErrorOf([&] { return CopyFileA(source.c_str(), Temp("c2.txt").c_str(), FALSE); }),
              DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(writer);
    writer = Open(source, GENERIC_WRITE, FILE_SHARE_READ);
    EXPECT_TRUE(CopyFileA(source.c_str(), Temp("c3.txt").c_str(), FALSE));
    CloseHandle(writer);
}

TEST(MovingFiles, Rules)
{
    const std::string a = Temp("a.txt"), b = Temp("b.txt");
    Put(a, "A");
    ASSERT_TRUE(MoveFileA(a.c_str(), b.c_str()));
    EXPECT_EQ(Get(b), "A");
    EXPECT_EQ(GetFileAttributesA(a.c_str()), INVALID_FILE_ATTRIBUTES);
    Put(a, "new A");
    EXPECT_EQ(ErrorOf([&] { return MoveFileA(a.c_str(), b.c_str()); }), DWORD(ERROR_ALREADY_EXISTS));
    HANDLE open = Open(b, GENERIC_READ, kShareAll);
    SetLastError(kSentinel);
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING)); // the destination is open
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(open);
    SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Get(b), "new A");

    // A source open with FILE_SHARE_DELETE moves and its handle follows it.
    HANDLE follower = Open(b, GENERIC_READ, kShareAll);
    EXPECT_TRUE(MoveFileA(b.c_str(), Temp("c.txt").c_str()));
    char buffer[8];
    DWORD done = 0;
    EXPECT_TRUE(ReadFile(follower, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(std::string(buffer, done), "new A");
    CloseHandle(follower);

    // A change of case only, and folders.
    EXPECT_TRUE(MoveFileA(Temp("c.txt").c_str(), Temp("C.TXT").c_str()));
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(Temp("c.txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "C.TXT");
    FindClose(find);
    ASSERT_TRUE(CreateDirectoryA(Temp("d1").c_str(), nullptr));
    Put(Temp("d1/f.txt"), "in folder");
    EXPECT_TRUE(MoveFileA(Temp("d1").c_str(), Temp("d2").c_str()));
    EXPECT_EQ(Get(Temp("d2/f.txt")), "in folder");

    struct Case
    {
        std::string from, to;
        DWORD flags, error;
    } cases[] = {
        {Temp("none.txt"), Temp("x.txt"), 0, ERROR_FILE_NOT_FOUND},
        {Temp("C.TXT"), Temp("none/x.txt"), 0, ERROR_PATH_NOT_FOUND},
        {Temp("C.TXT"), Temp("d2"), MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {Temp("C.TXT"), Temp("x.txt"), 0x100, ERROR_INVALID_PARAMETER},
        {Temp("C.TXT"), Temp("x.txt"), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED,
         ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases)
    {
        SetLastError(kSentinel);
        EXPECT_FALSE(MoveFileExA(c.from.c_str(), c.to.c_str(), c.flags)) << c.from << " " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " " << c.to;
    }
}

TEST(MovingFiles, DelayedUntilRebootOnNt)
{
    Put(Temp("old.dll"), "old");
    ASSERT_TRUE(MoveFileExA(Temp("old.dll").c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileExA(Temp("new.dll").c_str(), Temp("old.dll").c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryA(Temp("").c_str()));
    ASSERT_TRUE(MoveFileExA("rel.txt", "..\\moved.txt", MOVEFILE_DELAY_UNTIL_REBOOT)); // stored absolute
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(Get(Temp("old.dll")), "old"); // nothing happens before the restart

    const std::string t = Native(kittest::MachineDir() + "/temp/");
    const std::string expected = "\\??\\" + t + "old.dll" + '\0' + '\0' + "\\??\\" + t + "new.dll" + '\0' +
                                 "!\\??\\" + t + "old.dll" + '\0' + "\\??\\" + t + "rel.txt" + '\0' +
                                 "\\??\\" + Native(kittest::MachineDir() + "/moved.txt") + '\0' + '\0';
    // Ours come last: what other programs asked for before stays in front.
    std::vector<char> data = PendingRenames();
    const std::string pending(data.begin(), data.end());
    ASSERT_GE(pending.size(), expected.size()) << pending;
    EXPECT_EQ(pending.substr(pending.size() - expected.size()), expected);
}

#ifndef _WIN32
TEST(MovingFiles, ExRefusedOnWindows98)
{
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "Family", "98"));
    ASSERT_TRUE(kitpc::SetIdentityValue("Windows", "PlatformId", "1"));
    Put(Temp("a.txt"), "A");
    for (DWORD flags : {DWORD(0), DWORD(MOVEFILE_DELAY_UNTIL_REBOOT), DWORD(MOVEFILE_REPLACE_EXISTING)})
    {
        EXPECT_EQ(ErrorOf([&] { return MoveFileExA(Temp("a.txt").c_str(), Temp("b.txt").c_str(), flags); }),
                  DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    }
    EXPECT_TRUE(MoveFileA(Temp("a.txt").c_str(), Temp("b.txt").c_str()));
}
#endif

TEST(Devices, NulSwallowsWrites)
{
    for (const char *name : {"NUL", "\\\\.\\nul"})
    {
        HANDLE nul = CreateFileA(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(nul, INVALID_HANDLE_VALUE) << name;
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(nul, "gone", 4, &done, nullptr));
        EXPECT_EQ(done, 4u);
        EXPECT_EQ(GetFileType(nul), static_cast<DWORD>(FILE_TYPE_CHAR));
        CloseHandle(nul);
    }
    EXPECT_EQ(OpenError("\\\\.\\KITABSENT", GENERIC_READ, 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

#ifndef _WIN32
// The PC's devices folder: a plain file is a present device, a link to a terminal a COM port.
TEST(Devices, PresentAbsentAndComPorts)
{
    Put(kittest::MachineDir() + "/devices/MODEMDRV", "");
    for (const char *name : {"\\\\.\\MODEMDRV", "\\\\.\\modemdrv", "//./ModemDrv"})
    {
        SetLastError(kSentinel);
        HANDLE device =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(device, INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(GetFileType(device), static_cast<DWORD>(FILE_TYPE_CHAR));
        CloseHandle(device);
    }
    EXPECT_EQ(OpenError("\\\\.\\ABSENT", GENERIC_READ, 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenError("COM2", GENERIC_READ, 0), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ASSERT_EQ(::symlink(::ptsname(master), (kittest::MachineDir() + "/devices/COM1").c_str()), 0);
    HANDLE port = CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(port), static_cast<DWORD>(FILE_TYPE_CHAR));
    EXPECT_EQ(OpenError("COM1", GENERIC_READ | GENERIC_WRITE, 0), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    OVERLAPPED ov = {};
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(port, "AT", 2, &done, &ov));
    char echo[2];
    EXPECT_EQ(::read(master, echo, 2), 2);
    EXPECT_EQ(std::string(echo, 2), "AT");
    CloseHandle(port);
    EXPECT_EQ(OpenError("com1", GENERIC_READ | GENERIC_WRITE, 0), static_cast<DWORD>(ERROR_SUCCESS));
    ::close(master);
}
#endif
