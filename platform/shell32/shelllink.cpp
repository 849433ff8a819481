// The shell link (CLSID_ShellLink): a shortcut kept in a .lnk file in the shell's own format
// (MS-SHLLINK): the 0x4C-byte header, a LinkInfo with the target's local path and the strings
// (description, relative path, working folder, arguments, icon), in UTF-16.
//
// The PC's paths are POSIX paths inside its folder; in the file they are written as the PC's
// drive C: (<PC folder>/program_files/x.exe is C:\program_files\x.exe) and read back the same
// way, so the file is what a Windows shell reads. A path outside the PC is written as it is.
#include "platform/core/builtin.h"
#include "platform/core/refcounted.h"
#include "platform/core/path.h"
#include "platform/kit/kitmachine.h"

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr DWORD kHeaderSize = 0x4C;
constexpr DWORD kLinkInfoHeaderSize = 0x1C;
constexpr DWORD kVolumeIdSize = 0x10;
constexpr DWORD kDriveFixed = 3;
constexpr DWORD kVolumeSerial = 0x4B495443; // the PC's drive C: has one volume, always this one
constexpr DWORD kVolumeIdAndLocalBasePath = 0x1;

// LinkFlags of the header.
constexpr DWORD HasLinkTargetIdList = 0x1;
constexpr DWORD HasLinkInfo = 0x2;
constexpr DWORD HasName = 0x4;
constexpr DWORD HasRelativePath = 0x8;
constexpr DWORD HasWorkingDir = 0x10;
constexpr DWORD HasArguments = 0x20;
constexpr DWORD HasIconLocation = 0x40;
constexpr DWORD IsUnicode = 0x80;

// The PC's drive C: is its folder.
constexpr char kDrive[] = "C:\\";

std::string WithSeparator(std::string text, char from, char to)
{
    for (char &c : text)
        if (c == from)
            c = to;
    return text;
}

// A path of the PC as Windows writes it in a link.
std::string WindowsPathOf(const std::string &path)
{
    if (path.empty())
        return path;
    const std::string host = plat::HostPath(path), root = kitpc::Root();
    if (host == root)
        return kDrive;
    if (host.compare(0, root.size() + 1, root + "/") == 0)
        return kDrive + WithSeparator(host.substr(root.size() + 1), '/', '\\');
    return host;
}

// A path read from a link as the PC's path.
std::string PcPathOf(const std::string &windowsPath)
{
    if (windowsPath.size() < 3 || (windowsPath[0] != 'C' && windowsPath[0] != 'c') || windowsPath[1] != ':' ||
        (windowsPath[2] != '\\' && windowsPath[2] != '/'))
        return windowsPath;
    const std::string rest = WithSeparator(windowsPath.substr(3), '\\', '/');
    return rest.empty() ? kitpc::Root() : kitpc::PathOf(rest);
}

// What the header keeps of the target when the link is saved.
struct TargetData
{
    DWORD attributes = 0;
    FILETIME creation = {}, access = {}, write = {};
    DWORD size = 0;
};

TargetData TargetDataOf(const std::string &path)
{
    TargetData data;
    WIN32_FIND_DATAA found = {};
    HANDLE find = path.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA(path.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return data;
    FindClose(find);
    data = {found.dwFileAttributes, found.ftCreationTime, found.ftLastAccessTime, found.ftLastWriteTime,
            found.nFileSizeLow};
    return data;
}

std::u16string WideOf(const std::string &ansi)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    std::u16string wide(static_cast<size_t>(size), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), size);
    wide.resize(static_cast<size_t>(size - 1));
    return wide;
}

std::string AnsiOf(std::u16string_view wide)
{
    const std::u16string text(wide);
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(size - 1));
    return ansi;
}

// Little-endian writing of the link's structures.
class Writer
{
  public:
    void U16(WORD value) { Bytes(&value, sizeof value); }
    void U32(DWORD value) { Bytes(&value, sizeof value); }
    void Time(const FILETIME &time) { Bytes(&time, sizeof time); }
    void Bytes(const void *data, size_t size)
    {
        const auto *bytes = static_cast<const BYTE *>(data);
        out_.insert(out_.end(), bytes, bytes + size);
    }
    void AnsiZ(const std::string &text) { Bytes(text.c_str(), text.size() + 1); }
    // A StringData entry: a count of characters, then UTF-16 without a terminator.
    void CountedString(const std::string &ansi)
    {
        const std::u16string wide = WideOf(ansi);
        U16(static_cast<WORD>(wide.size()));
        Bytes(wide.data(), wide.size() * sizeof(char16_t));
    }
    const std::vector<BYTE> &Data() const { return out_; }

  private:
    std::vector<BYTE> out_;
};

// Bounds-checked reading; once out of bounds every read gives zero and Ok() is false.
class Reader
{
  public:
    explicit Reader(const std::vector<BYTE> &data) : data_(data) {}
    bool Ok() const { return ok_; }
    size_t Position() const { return at_; }
    void Seek(size_t at) { Need(at, 0) ? void(at_ = at) : void(); }
    void Skip(size_t size) { Need(at_, size) ? void(at_ += size) : void(); }
    WORD U16() { return Value<WORD>(); }
    DWORD U32() { return Value<DWORD>(); }
    FILETIME Time() { return Value<FILETIME>(); }
    void Into(void *out, size_t size)
    {
        if (Need(at_, size))
            std::memcpy(out, data_.data() + at_, size), at_ += size;
        else
            std::memset(out, 0, size);
    }
    std::string AnsiZAt(size_t at)
    {
        std::string text;
        while (Need(at, 1) && data_[at])
            text += static_cast<char>(data_[at++]);
        return text;
    }
    std::string CountedString(bool unicode)
    {
        const size_t count = U16();
        if (!unicode)
        {
            std::string text(count, '\0');
            Into(text.data(), count);
            return text;
        }
        std::u16string wide(count, u'\0');
        Into(wide.data(), count * sizeof(char16_t));
        return AnsiOf(wide);
    }

  private:
    template <class T> T Value()
    {
        T value = {};
        Into(&value, sizeof value);
        return value;
    }
    bool Need(size_t at, size_t size)
    {
        ok_ = ok_ && at <= data_.size() && size <= data_.size() - at;
        return ok_;
    }
    const std::vector<BYTE> &data_;
    size_t at_ = 0;
    bool ok_ = true;
};

HRESULT LastErrorResult()
{
    const DWORD error = GetLastError();
    return error ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_WIN32, error) : E_FAIL;
}

HRESULT WriteWholeFile(const std::string &path, const std::vector<BYTE> &data)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    const HRESULT hr = ok && written == data.size() ? S_OK : LastErrorResult();
    CloseHandle(file);
    return hr;
}

HRESULT ReadWholeFile(const std::string &path, std::vector<BYTE> &data)
{
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    data.clear();
    BYTE buffer[4096];
    DWORD got = 0;
    HRESULT hr = S_OK;
    while (hr == S_OK)
    {
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr))
            hr = LastErrorResult();
        else if (got == 0)
            break;
        else
            data.insert(data.end(), buffer, buffer + got);
    }
    CloseHandle(file);
    return hr;
}

// Copies text into a caller's buffer of cch characters, cut to fit, as the shell does.
HRESULT CopyOut(const std::string &text, LPSTR buffer, int cch)
{
    if (!buffer || cch <= 0)
        return E_INVALIDARG;
    const size_t length = std::min(text.size(), static_cast<size_t>(cch - 1));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return S_OK;
}

// Everything a link holds.
struct Link
{
    std::string target, description, relativePath, workingDir, arguments, iconPath;
    int iconIndex = 0;
    int showCmd = SW_SHOWNORMAL;
    WORD hotkey = 0;
    TargetData targetData;
};

// The target relative to the folder of the link file, as Windows writes it (".\x", "..\x").
std::string RelativeTarget(const std::string &target, const std::string &linkFile)
{
    if (target.empty())
        return {};
    const std::filesystem::path relative =
        std::filesystem::path(plat::HostPath(target))
            .lexically_relative(plat::FolderPart(plat::HostPath(linkFile)));
    if (relative.empty())
        return {};
    const std::string text = WithSeparator(relative.generic_string(), '/', '\\');
    return text.compare(0, 2, "..") == 0 ? text : ".\\" + text;
}

std::vector<BYTE> Serialise(const Link &link)
{
    const std::string localPath = WindowsPathOf(link.target);
    const struct
    {
        DWORD flag;
        std::string text;
    } strings[] = {{HasName, link.description},
                   {HasRelativePath, link.relativePath},
                   {HasWorkingDir, WindowsPathOf(link.workingDir)},
                   {HasArguments, link.arguments},
                   {HasIconLocation, WindowsPathOf(link.iconPath)}};
    DWORD flags = IsUnicode | (localPath.empty() ? 0 : HasLinkInfo);
    for (const auto &s : strings)
        flags |= s.text.empty() ? 0 : s.flag;

    Writer w;
    w.U32(kHeaderSize);
    w.Bytes(&CLSID_ShellLink, sizeof(GUID));
    w.U32(flags);
    w.U32(link.targetData.attributes);
    w.Time(link.targetData.creation);
    w.Time(link.targetData.access);
    w.Time(link.targetData.write);
    w.U32(link.targetData.size);
    w.U32(static_cast<DWORD>(link.iconIndex));
    w.U32(static_cast<DWORD>(link.showCmd));
    w.U16(link.hotkey);
    w.U16(0);
    w.U32(0);
    w.U32(0);
    if (flags & HasLinkInfo)
    {
        const DWORD volumeSize = kVolumeIdSize + 1; // an empty volume label
        const DWORD basePathOffset = kLinkInfoHeaderSize + volumeSize;
        const DWORD suffixOffset = basePathOffset + static_cast<DWORD>(localPath.size()) + 1;
        w.U32(suffixOffset + 1);
        w.U32(kLinkInfoHeaderSize);
        w.U32(kVolumeIdAndLocalBasePath);
        w.U32(kLinkInfoHeaderSize);
        w.U32(basePathOffset);
        w.U32(0); // no network share
        w.U32(suffixOffset);
        w.U32(volumeSize);
        w.U32(kDriveFixed);
        w.U32(kVolumeSerial);
        w.U32(kVolumeIdSize);
        w.AnsiZ("");
        w.AnsiZ(localPath);
        w.AnsiZ("");
    }
    for (const auto &s : strings)
        if (!s.text.empty())
            w.CountedString(s.text);
    w.U32(0); // the terminal block: no extra data
    return w.Data();
}

bool Parse(const std::vector<BYTE> &data, const std::string &linkFile, Link &link)
{
    Reader r(data);
    GUID clsid = {};
    if (r.U32() != kHeaderSize)
        return false;
    r.Into(&clsid, sizeof clsid);
    if (!plat::SameGuid(clsid, CLSID_ShellLink))
        return false;
    const DWORD flags = r.U32();
    link = Link();
    link.targetData.attributes = r.U32();
    link.targetData.creation = r.Time();
    link.targetData.access = r.Time();
    link.targetData.write = r.Time();
    link.targetData.size = r.U32();
    link.iconIndex = static_cast<int>(r.U32());
    link.showCmd = static_cast<int>(r.U32());
    link.hotkey = r.U16();
    r.Seek(kHeaderSize);
    if (flags & HasLinkTargetIdList)
        r.Skip(r.U16()); // the shell's item ids: the LinkInfo says the same for a file
    if (flags & HasLinkInfo)
    {
        const size_t start = r.Position();
        const DWORD size = r.U32();
        r.U32(); // header size
        const DWORD infoFlags = r.U32();
        r.U32(); // volume id
        const DWORD basePathOffset = r.U32();
        r.U32(); // network share
        const DWORD suffixOffset = r.U32();
        if (infoFlags & kVolumeIdAndLocalBasePath)
            link.target = PcPathOf(r.AnsiZAt(start + basePathOffset) + r.AnsiZAt(start + suffixOffset));
        r.Seek(start + size);
    }
    const bool unicode = flags & IsUnicode;
    std::string workingDir, iconPath;
    for (auto [flag, text] :
         {std::pair{HasName, &link.description}, std::pair{HasRelativePath, &link.relativePath},
          std::pair{HasWorkingDir, &workingDir}, std::pair{HasArguments, &link.arguments},
          std::pair{HasIconLocation, &iconPath}})
        if (flags & flag)
            *text = r.CountedString(unicode);
    link.workingDir = PcPathOf(workingDir);
    link.iconPath = PcPathOf(iconPath);
    if (link.target.empty() && !link.relativePath.empty())
        link.target =
            plat::FolderPart(plat::HostPath(linkFile)) + "/" + WithSeparator(link.relativePath, '\\', '/');
    return r.Ok();
}

class ShellLink final : public plat::RefCounted<IShellLinkA, IPersistFile>
{
  public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (plat::SameGuid(riid, IID_IUnknown) || plat::SameGuid(riid, IID_IShellLinkA))
            *ppv = static_cast<IShellLinkA *>(this);
        else if (plat::SameGuid(riid, IID_IPersistFile) || plat::SameGuid(riid, IID_IPersist))
            *ppv = static_cast<IPersistFile *>(this);
        else
        {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // IShellLinkA
    HRESULT STDMETHODCALLTYPE GetPath(LPSTR file, int cch, WIN32_FIND_DATAA *found, DWORD) override
    {
        if (found)
        {
            *found = {};
            found->dwFileAttributes = link_.targetData.attributes;
            found->ftCreationTime = link_.targetData.creation;
            found->ftLastAccessTime = link_.targetData.access;
            found->ftLastWriteTime = link_.targetData.write;
            found->nFileSizeLow = link_.targetData.size;
            CopyOut(std::string(plat::FileNamePart(link_.target)), found->cFileName, MAX_PATH);
        }
        const HRESULT hr = CopyOut(link_.target, file, cch);
        return FAILED(hr) || !link_.target.empty() ? hr : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE *ids) override
    {
        if (ids)
            *ids = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(LPSTR name, int cch) override
    {
        return CopyOut(link_.description, name, cch);
    }
    HRESULT STDMETHODCALLTYPE SetDescription(LPCSTR name) override { return Set(link_.description, name); }
    HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPSTR dir, int cch) override
    {
        return CopyOut(link_.workingDir, dir, cch);
    }
    HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCSTR dir) override { return Set(link_.workingDir, dir); }
    HRESULT STDMETHODCALLTYPE GetArguments(LPSTR args, int cch) override
    {
        return CopyOut(link_.arguments, args, cch);
    }
    HRESULT STDMETHODCALLTYPE SetArguments(LPCSTR args) override { return Set(link_.arguments, args); }
    HRESULT STDMETHODCALLTYPE GetHotkey(WORD *hotkey) override
    {
        if (!hotkey)
            return E_INVALIDARG;
        *hotkey = link_.hotkey;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHotkey(WORD hotkey) override
    {
        link_.hotkey = hotkey;
        dirty_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetShowCmd(int *showCmd) override
    {
        if (!showCmd)
            return E_INVALIDARG;
        *showCmd = link_.showCmd;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetShowCmd(int showCmd) override
    {
        link_.showCmd = showCmd;
        dirty_ = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIconLocation(LPSTR path, int cch, int *index) override
    {
        if (!index)
            return E_INVALIDARG;
        *index = link_.iconIndex;
        return CopyOut(link_.iconPath, path, cch);
    }
    HRESULT STDMETHODCALLTYPE SetIconLocation(LPCSTR path, int index) override
    {
        link_.iconIndex = index;
        return Set(link_.iconPath, path);
    }
    HRESULT STDMETHODCALLTYPE SetRelativePath(LPCSTR path, DWORD) override { return Set(relativeTo_, path); }
    HRESULT STDMETHODCALLTYPE Resolve(HWND, DWORD) override
    {
        return GetFileAttributesA(link_.target.c_str()) != INVALID_FILE_ATTRIBUTES ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetPath(LPCSTR file) override
    {
        if (!file)
            return E_INVALIDARG;
        link_.targetData = TargetDataOf(file);
        return Set(link_.target, file);
    }

    // IPersistFile
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *clsid) override
    {
        if (!clsid)
            return E_POINTER;
        *clsid = CLSID_ShellLink;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD) override
    {
        if (!fileName)
            return E_INVALIDARG;
        const std::string path = AnsiOf(fileName);
        std::vector<BYTE> data;
        HRESULT hr = ReadWholeFile(path, data);
        if (FAILED(hr))
            return hr;
        Link loaded;
        if (!Parse(data, path, loaded))
            return E_FAIL;
        link_ = loaded;
        curFile_ = fileName;
        dirty_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override
    {
        if (!fileName && curFile_.empty())
            return E_INVALIDARG;
        const std::u16string name = fileName ? std::u16string(fileName) : curFile_;
        const std::string path = AnsiOf(name);
        Link saved = link_;
        saved.relativePath = RelativeTarget(link_.target, relativeTo_.empty() ? path : relativeTo_);
        HRESULT hr = WriteWholeFile(path, Serialise(saved));
        if (FAILED(hr))
            return hr;
        if (remember || !fileName)
        {
            curFile_ = name;
            dirty_ = false;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR *fileName) override
    {
        if (!fileName)
            return E_POINTER;
        *fileName = nullptr;
        if (curFile_.empty())
            return S_FALSE;
        const size_t bytes = (curFile_.size() + 1) * sizeof(OLECHAR);
        *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!*fileName)
            return E_OUTOFMEMORY;
        std::memcpy(*fileName, curFile_.c_str(), bytes);
        return S_OK;
    }

  private:
    ~ShellLink() = default;

    HRESULT Set(std::string &field, LPCSTR text)
    {
        field = text ? text : "";
        dirty_ = true;
        return S_OK;
    }

    Link link_;
    std::string relativeTo_; // SetRelativePath: the file the relative path is counted from
    std::u16string curFile_;
    bool dirty_ = false;
};

HRESULT CreateShellLink(REFIID riid, void **ppv)
{
    auto *link = new ShellLink;
    const HRESULT hr = link->QueryInterface(riid, ppv);
    link->Release();
    return hr;
}

const bool g_shellLink = (plat::RegisterBuiltinClass(CLSID_ShellLink, {CreateShellLink, nullptr}), true);
} // namespace
