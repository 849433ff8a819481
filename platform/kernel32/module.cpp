// Modules: the kit's shared libraries through dlopen, and the Windows system libraries the
// platform provides itself. HMODULE values are entries of the handle table; loading a library
// again returns the same handle and counts one more reference, FreeLibrary counts one less and
// unloads at zero, calling the library's DllMain (when it exports one) on load and on unload.
// A name "X.dll" (or ".ocx") stands for the library "X.so" or "libX.so"; a bare name is looked
// for beside the caller, in the kit's library folder, beside the program, in the current
// folder, and last by the system loader. A loaded library's file is held as an image (share.cpp)
// until it is unloaded: it cannot be deleted meanwhile, by this process or any other of the PC.
#include "platform/core/builtin.h"
#include "platform/kernel32/share.h"
#include "platform/kit/kitloader.h"
#include "platform/core/handles.h"
#include "platform/core/lasterror.h"
#include "platform/core/path.h"
#include "platform/core/text.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
class ModuleObject : public plat::KernelObject
{
  public:
    ModuleObject() : KernelObject(plat::ObjectKind::Module) {}
    bool ClosableByCloseHandle() const override
    {
        return false; // FreeLibrary, not CloseHandle
    }

    void *library = nullptr;                                   // dlopen handle; nullptr for built-in modules
    plat::UniqueFd image;                                      // the hold on the file, while loaded
    std::string path;                                          // file, or the built-in name
    std::atomic<const plat::BuiltinExport *> exports{nullptr}; // built-in modules, for the current PC
    int references = 0;
    bool permanent = false; // the program, built-in modules and libraries loaded at start
    HMODULE handle = nullptr;
};

struct Loader
{
    std::recursive_mutex lock;                                  // DllMain may load other libraries
    std::map<std::string, std::shared_ptr<ModuleObject>> byKey; // upper-cased built-in name or file path
};

Loader &TheLoader()
{
    static auto *loader = new Loader;
    return *loader;
}

thread_local std::string t_loaderError;

bool HasExtension(std::string_view name, std::string_view extension)
{
    return name.size() > extension.size() &&
           plat::EqualNoCase(name.substr(name.size() - extension.size()), extension);
}

// The file names a Windows library name may have here: "X.dll" -> "X.so", "libX.so".
std::vector<std::string> LibraryFileNames(std::string_view fileName)
{
    std::string base(fileName);
    const std::string asGiven = base;
    for (std::string_view extension : {".dll", ".ocx", ".drv"})
        if (HasExtension(base, extension))
            base.resize(base.size() - extension.size());
    std::vector<std::string> names;
    if (HasExtension(base, ".so") || base.find(".so.") != std::string::npos)
        names.push_back(base);
    else
    {
        names.push_back(base + ".so");
        names.push_back("lib" + base + ".so");
    }
    if (asGiven != base)
        names.push_back(asGiven); // a file really named "X.dll"
    return names;
}

std::string ProgramFolder()
{
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

std::string FolderOfAddress(const void *address)
{
    Dl_info info{};
    if (!address || !::dladdr(address, &info) || !info.dli_fname)
        return {};
    return fs::path(info.dli_fname).parent_path().string();
}

// Where a bare library name is looked for, in order.
std::vector<std::string> SearchFolders(const void *caller)
{
    std::vector<std::string> folders;
    if (std::string folder = FolderOfAddress(caller); !folder.empty())
        folders.push_back(folder);
    if (const char *lib = std::getenv("KIT_LIB"); lib && *lib)
        folders.push_back(lib);
    std::string program = ProgramFolder();
    folders.push_back(fs::path(program).parent_path().string() + "/lib");
    folders.push_back(program);
    folders.push_back(".");
    return folders;
}

bool IsFile(const std::string &path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// The host file of a library name, or empty when there is none.
std::string FindLibrary(std::string_view name, const void *caller)
{
    std::string normalised(name);
    for (char &c : normalised)
        if (c == '\\')
            c = '/';
    const bool hasFolder = normalised.find('/') != std::string::npos;
    const std::string fileName(plat::FileNamePart(normalised));
    const std::vector<std::string> fileNames = LibraryFileNames(fileName);
    std::vector<std::string> folders;
    if (hasFolder)
        folders.push_back(plat::FolderPart(normalised));
    else
        folders = SearchFolders(caller);
    for (const std::string &folder : folders)
        for (const std::string &candidate : fileNames)
        {
            std::string path = plat::HostPath(folder + "/" + candidate);
            if (IsFile(path))
            {
                std::error_code ec;
                fs::path absolute = fs::absolute(path, ec);
                return absolute.lexically_normal().string();
            }
        }
    return {};
}

DWORD ErrorOfLoaderText(const std::string &text)
{
    if (text.find("undefined symbol") != std::string::npos)
        return ERROR_PROC_NOT_FOUND;
    if (text.find("No such file") != std::string::npos)
        return ERROR_MOD_NOT_FOUND;
    if (text.find("ELF") != std::string::npos || text.find("file too short") != std::string::npos)
        return ERROR_BAD_EXE_FORMAT;
    return ERROR_DLL_INIT_FAILED;
}

std::shared_ptr<ModuleObject> Register(Loader &loader, const std::string &key,
                                       std::shared_ptr<ModuleObject> module)
{
    module->handle = static_cast<HMODULE>(plat::InsertHandle(module));
    if (!module->handle)
        return nullptr;
    loader.byKey[key] = module;
    return module;
}

std::shared_ptr<ModuleObject> ModuleOf(HMODULE handle)
{
    std::shared_ptr<plat::KernelObject> object = plat::LookupHandle(handle);
    if (!object || object->Kind() != plat::ObjectKind::Module)
        return nullptr;
    return std::static_pointer_cast<ModuleObject>(object);
}

// The program's own module, registered on first use.
std::shared_ptr<ModuleObject> ProgramModule()
{
    Loader &loader = TheLoader();
    std::lock_guard guard(loader.lock);
    auto it = loader.byKey.find("");
    if (it != loader.byKey.end())
        return it->second;
    auto module = std::make_shared<ModuleObject>();
    module->library = ::dlopen(nullptr, RTLD_NOW);
    std::error_code ec;
    module->path = fs::read_symlink("/proc/self/exe", ec).string();
    module->permanent = true;
    return Register(loader, "", module);
}

std::shared_ptr<ModuleObject> BuiltinModule(Loader &loader, const std::string &key)
{
    const plat::BuiltinExport *exports = plat::FindBuiltinModule(key);
    if (!exports)
        return nullptr;
    auto it = loader.byKey.find(key);
    if (it != loader.byKey.end())
    {
        it->second->exports = exports; // those of the current PC
        return it->second;
    }
    auto module = std::make_shared<ModuleObject>();
    module->path = key + ".DLL";
    module->exports = exports;
    module->permanent = true;
    return Register(loader, key, module);
}

bool CallDllMain(ModuleObject &module, DWORD reason)
{
    auto entry = reinterpret_cast<PDLLMAIN>(::dlsym(module.library, "DllMain"));
    if (!entry)
        return true;
    return entry(reinterpret_cast<HINSTANCE>(module.handle), reason, nullptr) != FALSE;
}

// A library already in the process (loaded at start or by the system loader) gets a module
// entry when first asked for; it is never unloaded.
std::shared_ptr<ModuleObject> AdoptLoaded(Loader &loader, const std::string &path)
{
    auto it = loader.byKey.find(path);
    if (it != loader.byKey.end())
        return it->second;
    void *library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return nullptr;
    auto module = std::make_shared<ModuleObject>();
    module->library = library;
    module->path = path;
    module->permanent = true;
    return Register(loader, path, module);
}

// The file behind a module handle (NULL: the program); false when the handle is not a module.
bool ModuleFileName(HMODULE module, std::string &path)
{
    std::shared_ptr<ModuleObject> object = module ? ModuleOf(module) : ProgramModule();
    if (!object)
        return false;
    path = object->path;
    return true;
}

void CopyOutTruncated(const std::string &text, LPSTR buffer, DWORD size)
{
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

const plat::BuiltinExport kKernel32[] = {
    {"CancelIo", plat::ExportOf(&CancelIo)},
    {"GetLastError", plat::ExportOf(&GetLastError)},
    {nullptr, nullptr},
};
const bool g_kernel32 = (plat::RegisterBuiltinModule("KERNEL32.DLL", kKernel32), true);
} // namespace

namespace kitpc
{
std::string LastLoaderError()
{
    return t_loaderError;
}
} // namespace kitpc

// LoadLibraryA: loads a kit library (dlopen) or finds a built-in system library; returns the
// same handle for the same library with one more reference. ERROR_MOD_NOT_FOUND when there is
// no such library; the loader's text is kept (kitpc::LastLoaderError). While loaded, the file
// cannot be deleted (ERROR_ACCESS_DENIED, from any process of the PC) but may be renamed.
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    if (!lpLibFileName || !*lpLibFileName)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const void *caller = __builtin_return_address(0);
    Loader &loader = TheLoader();
    std::lock_guard guard(loader.lock);
    if (auto builtin = BuiltinModule(loader, plat::BuiltinKey(plat::FileNamePart(lpLibFileName))))
        return builtin->handle;

    const std::string path = FindLibrary(lpLibFileName, caller);
    if (path.empty())
    {
        t_loaderError = std::string(lpLibFileName) + ": no such library";
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto it = loader.byKey.find(path);
    if (it != loader.byKey.end())
    {
        if (!it->second->permanent)
            ++it->second->references;
        return it->second->handle;
    }
    plat::UniqueFd image = plat::HoldImage(path); // before the load, so no delete slips in between
    void *library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char *text = ::dlerror();
        t_loaderError = text ? text : "dlopen failed";
        SetLastError(ErrorOfLoaderText(t_loaderError));
        return nullptr;
    }
    auto module = std::make_shared<ModuleObject>();
    module->library = library;
    module->image = std::move(image);
    module->path = path;
    module->references = 1;
    if (!Register(loader, path, module))
    {
        ::dlclose(library);
        return nullptr;
    }
    if (!CallDllMain(*module, DLL_PROCESS_ATTACH))
    {
        loader.byKey.erase(path);
        plat::RemoveHandle(module->handle);
        ::dlclose(library);
        module->image = {};
        t_loaderError = path + ": DllMain refused to load";
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return module->handle;
}

// FreeLibrary: one reference less; the library is unloaded (after DllMain) at zero, and its file
// may be deleted again. A handle that is no loaded module: ERROR_MOD_NOT_FOUND, as NT's loader.
BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    Loader &loader = TheLoader();
    std::lock_guard guard(loader.lock);
    std::shared_ptr<ModuleObject> module = ModuleOf(hLibModule);
    if (!module)
        return plat::Fail(ERROR_MOD_NOT_FOUND);
    if (module->permanent || --module->references > 0)
        return TRUE;
    CallDllMain(*module, DLL_PROCESS_DETACH);
    loader.byKey.erase(module->path);
    plat::RemoveHandle(module->handle);
    ::dlclose(module->library);
    module->image = {}; // the file may go now
    return TRUE;
}

// GetProcAddress: an export by name (ordinals are not offered: ERROR_PROC_NOT_FOUND).
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    std::shared_ptr<ModuleObject> module = hModule ? ModuleOf(hModule) : ProgramModule();
    if (!module)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!lpProcName || reinterpret_cast<ULONG_PTR>(lpProcName) <= 0xFFFF)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    if (const plat::BuiltinExport *exports = module->exports)
    {
        for (const plat::BuiltinExport *e = exports; e->name; ++e)
            if (std::string_view(e->name) == lpProcName)
                return e->address;
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    void *symbol = ::dlsym(module->library, lpProcName);
    if (!symbol)
    {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

// GetModuleHandleA: a module already in the process, without a new reference (NULL: the
// program); ERROR_MOD_NOT_FOUND otherwise.
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    if (!lpModuleName)
        return ProgramModule()->handle;
    const void *caller = __builtin_return_address(0);
    Loader &loader = TheLoader();
    std::lock_guard guard(loader.lock);
    if (auto builtin = BuiltinModule(loader, plat::BuiltinKey(plat::FileNamePart(lpModuleName))))
        return builtin->handle;
    const std::string path = FindLibrary(lpModuleName, caller);
    if (!path.empty())
        if (auto module = AdoptLoaded(loader, path))
            return module->handle;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

// GetModuleHandleExA: by name, or with GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS the module holding
// an address (how a library finds its own handle); a new reference unless
// GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT.
BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName, HMODULE *phModule)
{
    if (!phModule)
        return plat::Fail(ERROR_INVALID_PARAMETER);
    *phModule = nullptr;
    if (!(dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS))
    {
        HMODULE module = GetModuleHandleA(lpModuleName);
        if (!module)
            return FALSE;
        *phModule = module;
        if (!(dwFlags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN)))
            if (auto object = ModuleOf(module); object && !object->permanent)
                ++object->references;
        return TRUE;
    }
    Dl_info info{};
    if (!::dladdr(lpModuleName, &info) || !info.dli_fname)
        return plat::Fail(ERROR_MOD_NOT_FOUND);
    std::error_code ec;
    std::string path = fs::canonical(info.dli_fname, ec).string();
    std::string program = fs::read_symlink("/proc/self/exe", ec).string();
    if (path == program || !*info.dli_fname)
    {
        *phModule = ProgramModule()->handle;
        return TRUE;
    }
    Loader &loader = TheLoader();
    std::lock_guard guard(loader.lock);
    std::shared_ptr<ModuleObject> module;
    for (auto &[key, candidate] : loader.byKey)
        if (candidate->library && fs::equivalent(candidate->path, path, ec))
            module = candidate;
    if (!module)
        module = AdoptLoaded(loader, path);
    if (!module)
        return plat::Fail(ERROR_MOD_NOT_FOUND);
    if (!(dwFlags & (GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN)) &&
        !module->permanent)
        ++module->references;
    if (dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN)
        module->permanent = true;
    *phModule = module->handle;
    return TRUE;
}

// DisableThreadLibraryCalls: DllMain is never called for threads here anyway.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule)
{
    if (!ModuleOf(hLibModule))
        return plat::Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

// GetModuleFileNameA: the file of a module; NULL is the program (/proc/self/exe). A buffer too
// small gets the name cut, NUL-terminated, nSize returned and ERROR_INSUFFICIENT_BUFFER, as
// Windows Vista and later do (XP leaves it unterminated). Not a module: ERROR_MOD_NOT_FOUND.
DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize)
{
    std::string path;
    if (!ModuleFileName(hModule, path))
    {
        plat::Fail(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!lpFilename || nSize == 0)
    {
        plat::Fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    CopyOutTruncated(path, lpFilename, nSize);
    if (path.size() >= nSize)
    {
        plat::Fail(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    return static_cast<DWORD>(path.size());
}
