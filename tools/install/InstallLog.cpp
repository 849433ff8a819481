#include "tools/install/InstallLog.h"

#include <cstdio>
#include <iterator>

namespace
{
struct RootEntry
{
    HKEY root;
    const char *name;
};

// In the order of their numbers.
const RootEntry kRoots[] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKEY_USERS"},
    {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
    {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
    {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
};

class CFile
{
  public:
    explicit CFile(const std::string &path)
        : handle_(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr))
    {
    }
    ~CFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    CFile(const CFile &) = delete;
    CFile &operator=(const CFile &) = delete;

    bool AppendAll(const std::string &bytes)
    {
        if (handle_ == INVALID_HANDLE_VALUE ||
            SetFilePointer(handle_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER)
            return false;
        DWORD written = 0;
        return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    }

  private:
    HANDLE handle_;
};
} // namespace

int RootNumber(HKEY root)
{
    for (size_t i = 0; i < std::size(kRoots); ++i)
        if (kRoots[i].root == root)
            return static_cast<int>(i);
    return -1;
}

const char *RootName(HKEY root)
{
    const int number = RootNumber(root);
    return number < 0 ? "" : kRoots[number].name;
}

void CInstallLog::Record(const char *tag, const std::string &value)
{
    lines_.push_back(std::string(tag) + " " + value);
}

void CInstallLog::ProductName(const std::string &nemonico, const std::string &name)
{
    lines_.push_back("NOMBRE_" + nemonico + " " + name);
}

void CInstallLog::TextColor(BYTE red, BYTE green, BYTE blue)
{
    char value[32];
    std::snprintf(value, sizeof value, "(%u,%u,%u)", red, green, blue);
    Record("Text Color:", value);
}

void CInstallLog::MadeDir(const std::string &folder)
{
    Record("Made Dir:", folder);
}

void CInstallLog::FileCopy(const std::string &file, bool overwritten)
{
    Record(overwritten ? "File Overwrite:" : "File Copy:", file);
}

void CInstallLog::SelfRegister(const std::string &server)
{
    Record("Self-Register:", server);
}

void CInstallLog::ShellLink(const std::string &link)
{
    Record("Shell Link:", link);
}

void CInstallLog::RegDbKill(HKEY root, const std::string &key)
{
    Record("RegDB Kill:", std::string(RootName(root)) + "\\" + key);
}

void CInstallLog::RegDbValue(HKEY root, const std::string &key, const std::string &name, RegKind kind,
                             const std::string &old)
{
    Record("RegDB Key:", key);
    Record("RegDB Name:", name);
    Record("RegDB Type:", std::to_string(static_cast<int>(kind)));
    Record("RegDB Root:", std::to_string(RootNumber(root)));
    Record("RegDB Old:", old);
}

bool CInstallLog::AppendTo(const std::string &path) const
{
    std::string bytes;
    for (const std::string &line : lines_)
        bytes += line + "\r\n";
    CFile file(path);
    return file.AppendAll(bytes);
}
