// Windows of the simulated PC (not a Windows interface): how window records are made, and how a
// user interface backs them with real windows.
//
// A window is a record of the PC, visible to every process using the same $KIT_MACHINE (so a
// second program can find and activate the first one's window, as on Windows); it lives as long
// as the process that made it, or until DestroyWindow. Its handle is a 32-bit value, as Windows
// keeps window handles, so it survives being stored in a 32-bit word. The Windows functions of
// winuser.h (IsWindow, ShowWindow, SetForegroundWindow...) act on these records.
#pragma once

#include "platform/windef.h"

#include <string>
#include <utility>
#include <vector>

struct IDispatch;

namespace kitwin
{
// What a user interface hears when the Windows functions change one of its windows. Calls come
// on the thread that made the change, in this process only, after the record has changed.
class WindowBackend
{
  public:
    virtual ~WindowBackend() = default;
    virtual void OnTextChanged(HWND, const std::string &) {}
    virtual void OnShow(HWND, int /*nCmdShow*/) {}
    virtual void OnForeground(HWND) {}
    virtual void OnDestroy(HWND) {}
};

struct WindowDesc
{
    std::string text;
    HWND parent = nullptr; // a child window's parent
    HWND owner = nullptr;  // a pop-up's owner (GetParent gives it, GetLastActivePopup follows it)
    bool visible = true;
    bool iconic = false;
    IDispatch *control = nullptr;     // the hosted ActiveX control, if any (a reference is kept)
    WindowBackend *backend = nullptr; // not owned; must outlive the window
};

// Makes a window record owned by the calling process and thread; nullptr with the last error
// set when the parent or owner is not a window (ERROR_INVALID_WINDOW_HANDLE) or the PC's
// window folder cannot be written.
HWND CreateWindowRecord(const WindowDesc &desc);

// Attaches (or with nullptr detaches) the control a window hosts; the window keeps a reference
// until it is destroyed or another control replaces it. Only the owning process may do this.
bool AttachControl(HWND window, IDispatch *control);

// The user's own actions on a window, reported by the user interface: minimised or restored,
// shown or hidden, activated (which makes it its owner's last active pop-up). The backend is
// not called for these.
bool ReportState(HWND window, bool visible, bool iconic);
bool ReportActivated(HWND window);

// While set, SetForegroundWindow is refused as Windows refuses it when another program holds
// the foreground (the user is working in it). For tests.
void SetForegroundLocked(bool locked);

// Message boxes: MessageBoxA hands every box to the provider the user interface installed in
// this process (on screen a real box; unattended or under test a scripted answer). The
// provider gets the arguments as given and returns the answer (IDOK, IDYES...) or 0 for a box
// it could not show, with the last error set. Without a provider MessageBoxA fails with
// ERROR_CALL_NOT_IMPLEMENTED: a program without a user interface shows no boxes.
using MessageBoxProvider = int (*)(void *context, HWND owner, const char *text, const char *caption,
                                   UINT type);
void SetMessageBoxProvider(MessageBoxProvider provider, void *context);

// Open-file dialogs: GetOpenFileNameA checks the caller's structure, then hands the dialog to the
// provider the user interface installed. The request is what the dialog shows: its caption
// (empty: the system's), the filters as (text, pattern) pairs, the one chosen at first (0-based),
// the folder and name proposed, the OFN_ flags. The provider returns true with the path chosen
// (a path of the PC) and the filter in use, or false when the user cancelled. Without a provider
// GetOpenFileNameA acts as a cancelled dialog.
struct OpenFileRequest
{
    HWND owner = nullptr;
    std::string title;
    std::vector<std::pair<std::string, std::string>> filters;
    size_t filter = 0;
    std::string folder;
    std::string name;
    std::string defaultExtension;
    DWORD flags = 0;
};
using OpenFileProvider = bool (*)(void *context, const OpenFileRequest &request, std::string &path,
                                  size_t &filter);
void SetOpenFileProvider(OpenFileProvider provider, void *context);

// A snapshot of a window's record, from any process; false when it is not a window.
struct WindowState
{
    std::string text;
    HWND parent = nullptr;
    HWND owner = nullptr;
    HWND lastActivePopup = nullptr;
    bool visible = false;
    bool iconic = false;
    bool zoomed = false;
    DWORD processId = 0;
    DWORD threadId = 0;
    DWORD changes = 0; // grows with every change, so a user interface can see changes made elsewhere
};
bool ReadWindowState(HWND window, WindowState &state);
} // namespace kitwin
