// The open-file dialog: the platform reads the caller's OPENFILENAMEA, the user interface's
// provider (kitwindow.h) shows the dialog, and the platform writes the answer back as Windows
// does, with the checks the dialog makes before it closes.
#include "platform/commdlg.h"
#include "platform/core/lasterror.h"
#include "platform/kit/kitwindow.h"

#include <cstring>
#include <mutex>
#include <string>

namespace
{
struct Provider
{
    kitwin::OpenFileProvider function = nullptr;
    void *context = nullptr;
};

std::mutex g_lock;
Provider g_provider;
thread_local DWORD t_extendedError = 0;

Provider Current()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_provider;
}

// What the dialog does not offer: hooks, templates, several files at once, custom filters.
constexpr DWORD kNotOffered = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE |
                              OFN_ALLOWMULTISELECT | OFN_ENABLEINCLUDENOTIFY;

// The dialog's caption when the caller gives none, as Spanish Windows names it.
constexpr char kTituloAbrir[] = "Abrir";

BOOL Fail(DWORD extended, DWORD lastError = 0)
{
    t_extendedError = extended;
    if (lastError)
        SetLastError(lastError);
    return FALSE;
}

bool ValidSize(DWORD size)
{
    return size == sizeof(OPENFILENAMEA) || size == OPENFILENAME_SIZE_VERSION_400A;
}

// "text\0pattern\0...\0": the pairs up to the first empty text; a text without its pattern is
// left out.
std::vector<std::pair<std::string, std::string>> Filters(LPCSTR filter)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!filter)
        return pairs;
    for (const char *p = filter; *p;)
    {
        std::string text = p;
        p += text.size() + 1;
        if (!*p)
            break;
        std::string pattern = p;
        p += pattern.size() + 1;
        pairs.emplace_back(std::move(text), std::move(pattern));
    }
    return pairs;
}

std::string::size_type NameOffset(const std::string &path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? 0 : slash + 1;
}

// Where the extension starts: after the name's last '.', the end when it has none, 0 when the
// name ends with the '.'.
WORD ExtensionOffset(const std::string &path)
{
    const auto name = NameOffset(path);
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < name)
        return static_cast<WORD>(path.size());
    if (dot + 1 == path.size())
        return 0;
    return static_cast<WORD>(dot + 1);
}

bool HasExtension(const std::string &path)
{
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && dot >= NameOffset(path);
}

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The warning the dialog shows before it stays open, empty when the path may be taken.
std::string Objection(const std::string &path, DWORD flags)
{
    const auto name = NameOffset(path);
    const std::string folder = name ? path.substr(0, name) : std::string(".");
    if ((flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST)) && !IsFolder(folder))
        return path + "\nLa ruta de acceso no existe.\nCompruebe que la ruta es correcta.";
    if ((flags & OFN_FILEMUSTEXIST) && !IsFile(path))
        return path + "\nNo se encuentra el archivo.\nCompruebe que el nombre del archivo es correcto.";
    return {};
}

kitwin::OpenFileRequest RequestOf(const OPENFILENAMEA &ofn)
{
    kitwin::OpenFileRequest request;
    request.owner = ofn.hwndOwner;
    request.title = ofn.lpstrTitle ? ofn.lpstrTitle : "";
    request.filters = Filters(ofn.lpstrFilter);
    if (ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= request.filters.size())
        request.filter = ofn.nFilterIndex - 1;
    request.folder = ofn.lpstrInitialDir ? ofn.lpstrInitialDir : "";
    request.name = std::string(ofn.lpstrFile, strnlen(ofn.lpstrFile, ofn.nMaxFile));
    request.defaultExtension = ofn.lpstrDefExt ? ofn.lpstrDefExt : "";
    request.flags = ofn.Flags;
    return request;
}

// The chosen path into the caller's structure.
BOOL Answer(OPENFILENAMEA &ofn, const kitwin::OpenFileRequest &request, const std::string &path,
            size_t filter)
{
    if (path.size() + 1 > ofn.nMaxFile)
    {
        // The size needed goes in the buffer's first two bytes.
        if (ofn.nMaxFile >= sizeof(WORD))
        {
            const WORD needed = static_cast<WORD>(path.size() + 1);
            std::memcpy(ofn.lpstrFile, &needed, sizeof needed);
        }
        return Fail(FNERR_BUFFERTOOSMALL);
    }
    std::memcpy(ofn.lpstrFile, path.c_str(), path.size() + 1);
    ofn.nFileOffset = static_cast<WORD>(NameOffset(path));
    ofn.nFileExtension = ExtensionOffset(path);
    if (ofn.lpstrFileTitle && ofn.nMaxFileTitle > 0)
    {
        const std::string name = path.substr(ofn.nFileOffset).substr(0, ofn.nMaxFileTitle - 1);
        std::memcpy(ofn.lpstrFileTitle, name.c_str(), name.size() + 1);
    }
    if (!request.filters.empty())
        ofn.nFilterIndex = static_cast<DWORD>(filter < request.filters.size() ? filter + 1 : 1);
    const std::string extension = ofn.nFileExtension ? path.substr(ofn.nFileExtension) : std::string();
    if (!request.defaultExtension.empty() &&
        lstrcmpiA(extension.c_str(), request.defaultExtension.c_str()) != 0)
        ofn.Flags |= OFN_EXTENSIONDIFFERENT;
    else
        ofn.Flags &= ~static_cast<DWORD>(OFN_EXTENSIONDIFFERENT);
    t_extendedError = 0;
    return TRUE;
}
} // namespace

namespace kitwin
{
void SetOpenFileProvider(OpenFileProvider provider, void *context)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_provider = {provider, context};
}
} // namespace kitwin

// GetOpenFileNameA: the open-file dialog of the process's user interface (its provider,
// kitwin::SetOpenFileProvider). TRUE with the path in lpstrFile, nFileOffset, nFileExtension,
// lpstrFileTitle and nFilterIndex filled; FALSE with CommDlgExtendedError() 0 when the user
// cancels, FNERR_BUFFERTOOSMALL (the size needed in lpstrFile's first two bytes) when the path
// does not fit. lpstrDefExt is added to a name without extension; a path that breaks
// OFN_PATHMUSTEXIST or OFN_FILEMUSTEXIST brings up the dialog's warning (a message box) and the
// dialog again. Differs from Windows: without a provider it acts as a cancelled dialog; hooks,
// templates, multiple selection and custom filters are CDERR_DIALOGFAILURE with
// ERROR_CALL_NOT_IMPLEMENTED; the read-only box is the provider's to show or not.
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA lpofn)
{
    if (!lpofn || !ValidSize(lpofn->lStructSize))
        return Fail(CDERR_STRUCTSIZE);
    OPENFILENAMEA &ofn = *lpofn;
    if ((ofn.Flags & kNotOffered) || ofn.lpstrCustomFilter)
        return Fail(CDERR_DIALOGFAILURE, ERROR_CALL_NOT_IMPLEMENTED);
    if (!ofn.lpstrFile || ofn.nMaxFile == 0)
        return Fail(CDERR_INITIALIZATION);
    if (ofn.hwndOwner && !IsWindow(ofn.hwndOwner))
        return Fail(CDERR_DIALOGFAILURE, ERROR_INVALID_WINDOW_HANDLE);
    const Provider provider = Current();
    kitwin::OpenFileRequest request = RequestOf(ofn);
    for (;;)
    {
        std::string path;
        size_t filter = request.filter;
        if (!provider.function || !provider.function(provider.context, request, path, filter) || path.empty())
            return Fail(0);
        if (!request.defaultExtension.empty() && !HasExtension(path))
            path += "." + request.defaultExtension;
        const std::string objection = Objection(path, ofn.Flags);
        if (objection.empty())
            return Answer(ofn, request, path, filter);
        const char *caption = request.title.empty() ? kTituloAbrir : request.title.c_str();
        if (!MessageBoxA(ofn.hwndOwner, objection.c_str(), caption, MB_OK | MB_ICONEXCLAMATION))
            return Fail(CDERR_DIALOGFAILURE);
        request.name = path;
        request.filter = filter;
    }
}

// CommDlgExtendedError: the error of the calling thread's last common dialog, 0 when it ended
// with a choice or was cancelled.
DWORD WINAPI CommDlgExtendedError(void)
{
    return t_extendedError;
}
