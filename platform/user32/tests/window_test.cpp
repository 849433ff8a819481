// Windows: the records behind window handles, their state, the foreground and hosted controls.
#include "platform/kit/kitwindow.h"
#include "platform/windows.h"
#include "testing/NullDispatch.h"
#include "testing/kittest.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace
{
// A user interface that records what it hears.
class Recorder : public kitwin::WindowBackend
{
  public:
    void OnTextChanged(HWND, const std::string &text) override { events.push_back("text " + text); }
    void OnShow(HWND, int nCmdShow) override { events.push_back("show " + std::to_string(nCmdShow)); }
    void OnForeground(HWND) override { events.push_back("foreground"); }
    void OnDestroy(HWND) override { events.push_back("destroy"); }
    std::vector<std::string> events;
};

HWND Make(const std::string &text, HWND parent = nullptr, HWND owner = nullptr, bool visible = true)
{
    kitwin::WindowDesc desc;
    desc.text = text;
    desc.parent = parent;
    desc.owner = owner;
    desc.visible = visible;
    HWND window = kitwin::CreateWindowRecord(desc);
    EXPECT_NE(window, nullptr) << GetLastError();
    return window;
}

const HWND kNotAWindow = reinterpret_cast<HWND>(0x12344);
} // namespace

TEST(Window, HandlesAreThirtyTwoBitValues)
{
    HWND window = Make("Asistente");
    const auto value = reinterpret_cast<uintptr_t>(window);
    EXPECT_LE(value, 0xFFFFFFFFu);
    EXPECT_EQ(value % 2, 0u);
    const DWORD stored = static_cast<DWORD>(value); // as the wizard keeps it in shared memory
    EXPECT_TRUE(IsWindow(reinterpret_cast<HWND>(static_cast<uintptr_t>(stored))));
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(IsWindow(kNotAWindow));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(~uintptr_t{0})));
    DWORD process = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window, &process), GetCurrentThreadId());
    EXPECT_EQ(process, GetCurrentProcessId());
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
}

// A record of the PC damaged on disk (its text length past its end) is no window, and reading
// it never takes the memory the damaged length asks for.
TEST(Window, DamagedRecordIsNoWindow)
{
    HWND window = Make("Asistente");
    char name[32];
    std::snprintf(name, sizeof name, "/objects/hwnd/hwnd-%08X",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    const std::string record = kittest::MachineDir() + name;
    std::fstream file(record, std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(file.is_open()) << record;
    const uint32_t huge = 0xFFFFFFF0u;
    file.seekp(36); // the text length, after eight 32-bit fields and four flag bytes
    file.write(reinterpret_cast<const char *>(&huge), sizeof huge);
    file.close();
    EXPECT_FALSE(IsWindow(window));
    char buffer[8] = "x";
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Window, Text)
{
    Recorder recorder;
    kitwin::WindowDesc desc;
    desc.text = "Configuración ADSL";
    desc.backend = &recorder;
    HWND window = kitwin::CreateWindowRecord(desc);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowTextLengthA(window), 18);

    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetWindowTextA(window, buffer, 8), 7);
    EXPECT_STREQ(buffer, "Configu");
    EXPECT_EQ(buffer[8], 'x');
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 18);
    EXPECT_STREQ(buffer, "Configuración ADSL");
    EXPECT_EQ(GetWindowTextA(window, buffer, 0), 0);

    EXPECT_TRUE(SetWindowTextA(window, "Otro"));
    EXPECT_EQ(GetWindowTextA(window, buffer, sizeof buffer), 4);
    EXPECT_TRUE(SetWindowTextA(window, nullptr));
    EXPECT_EQ(GetWindowTextLengthA(window), 0);
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"text Otro", "text "}));

    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetWindowTextA(kNotAWindow, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetWindowTextA(kNotAWindow, "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(window);
}

TEST(Window, ShowCommands)
{
    HWND window = Make("w", nullptr, nullptr, false);
    struct Step
    {
        int command;
        BOOL wasVisible;
        BOOL visible, iconic, zoomed;
    };
    const Step steps[] = {
        {SW_SHOW, FALSE, TRUE, FALSE, FALSE},
        {SW_MINIMIZE, TRUE, TRUE, TRUE, FALSE},
        {SW_RESTORE, TRUE, TRUE, FALSE, FALSE},
        {SW_SHOWMAXIMIZED, TRUE, TRUE, FALSE, TRUE},
        {SW_SHOWMINIMIZED, TRUE, TRUE, TRUE, FALSE},
        {SW_RESTORE, TRUE, TRUE, FALSE, TRUE}, // back to maximised
        {SW_SHOWNORMAL, TRUE, TRUE, FALSE, FALSE},
        {SW_HIDE, TRUE, FALSE, FALSE, FALSE},
        {SW_HIDE, FALSE, FALSE, FALSE, FALSE},
        {SW_SHOWMINNOACTIVE, FALSE, TRUE, TRUE, FALSE},
        {SW_SHOWNA, TRUE, TRUE, TRUE, FALSE},
        {SW_SHOWDEFAULT, TRUE, TRUE, FALSE, FALSE},
    };
    for (const Step &s : steps)
    {
        SCOPED_TRACE(s.command);
        EXPECT_EQ(ShowWindow(window, s.command), s.wasVisible);
        EXPECT_EQ(IsWindowVisible(window), s.visible);
        EXPECT_EQ(IsIconic(window), s.iconic);
        EXPECT_EQ(IsZoomed(window), s.zoomed);
    }
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShowWindow(window, 12));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(ShowWindow(kNotAWindow, SW_SHOW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsIconic(kNotAWindow));
    EXPECT_FALSE(IsWindowVisible(kNotAWindow));
    DestroyWindow(window);
}

TEST(Window, ParentsAndOwners)
{
    HWND top = Make("top");
    HWND child = Make("child", top);
    HWND popup = Make("popup", nullptr, top);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetParent(popup), top);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetParent(top), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetParent(kNotAWindow), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    // A child shows only while its parent does.
    EXPECT_TRUE(IsWindowVisible(child));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(child));
    EXPECT_TRUE(IsWindowVisible(popup)); // owned, not contained
    ShowWindow(top, SW_SHOW);

    kitwin::WindowDesc orphan;
    orphan.parent = kNotAWindow;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(kitwin::CreateWindowRecord(orphan), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    // Destroying a window destroys its children and the windows it owns.
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(popup));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST(Window, ForegroundAndLastActivePopup)
{
    Recorder recorder;
    kitwin::WindowDesc desc;
    desc.text = "sheet";
    desc.backend = &recorder;
    HWND sheet = kitwin::CreateWindowRecord(desc);
    HWND other = Make("other");
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    EXPECT_EQ(GetLastActivePopup(sheet), sheet); // no pop-ups

    EXPECT_TRUE(SetForegroundWindow(sheet));
    EXPECT_EQ(GetForegroundWindow(), sheet);
    EXPECT_EQ(recorder.events, std::vector<std::string>{"foreground"});

    HWND box = Make("message", nullptr, sheet);
    EXPECT_TRUE(SetForegroundWindow(box));
    EXPECT_EQ(GetLastActivePopup(sheet), box);
    EXPECT_TRUE(SetForegroundWindow(other));
    EXPECT_EQ(GetLastActivePopup(sheet), box); // still the last one the sheet had
    ShowWindow(box, SW_HIDE);
    EXPECT_EQ(GetLastActivePopup(sheet), sheet);
    ShowWindow(box, SW_SHOW);
    EXPECT_EQ(GetLastActivePopup(sheet), box);
    DestroyWindow(box);
    EXPECT_EQ(GetLastActivePopup(sheet), sheet);
    EXPECT_EQ(GetLastActivePopup(kNotAWindow), nullptr);

    // The user works in another program: the request is refused.
    kitwin::SetForegroundLocked(true);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetForegroundWindow(sheet));
    EXPECT_EQ(GetForegroundWindow(), other);
    kitwin::SetForegroundLocked(false);
    EXPECT_TRUE(SetForegroundWindow(sheet));

    // The user activates a window through the interface.
    EXPECT_TRUE(kitwin::ReportActivated(other));
    EXPECT_EQ(GetForegroundWindow(), other);
    EXPECT_TRUE(kitwin::ReportState(other, true, true));
    EXPECT_TRUE(IsIconic(other));

    DestroyWindow(other);
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetForegroundWindow(other));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(sheet);
    EXPECT_EQ(recorder.events.back(), "destroy");
}

TEST(Window, HostedControl)
{
    kittest::NullDispatch control;
    kitwin::WindowDesc desc;
    desc.control = &control;
    HWND host = kitwin::CreateWindowRecord(desc);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(control.refs, 2u);

    IUnknown *unknown = nullptr;
    EXPECT_EQ(AtlAxGetControl(host, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown *>(&control));
    unknown->Release();
    EXPECT_EQ(AtlAxGetControl(host, nullptr), E_POINTER);

    kittest::NullDispatch other;
    EXPECT_TRUE(kitwin::AttachControl(host, &other));
    EXPECT_EQ(control.refs, 1u);
    EXPECT_EQ(other.refs, 2u);
    EXPECT_TRUE(kitwin::AttachControl(host, nullptr));
    EXPECT_EQ(other.refs, 1u);
    unknown = reinterpret_cast<IUnknown *>(0x1);
    EXPECT_EQ(AtlAxGetControl(host, &unknown), E_FAIL);
    EXPECT_EQ(unknown, nullptr);

    kitwin::AttachControl(host, &control);
    EXPECT_TRUE(DestroyWindow(host));
    EXPECT_EQ(control.refs, 1u); // released with the window
    EXPECT_EQ(AtlAxGetControl(host, &unknown), E_FAIL);
    EXPECT_FALSE(kitwin::AttachControl(host, &control));
}

TEST(Window, StateSnapshotAndOtherThreads)
{
    HWND window = nullptr;
    std::thread maker([&] { window = Make("de otro hilo"); });
    maker.join();
    kitwin::WindowState state;
    ASSERT_TRUE(kitwin::ReadWindowState(window, state));
    EXPECT_EQ(state.text, "de otro hilo");
    EXPECT_NE(state.threadId, GetCurrentThreadId());
    const DWORD before = state.changes;
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(kitwin::ReadWindowState(window, state));
    EXPECT_TRUE(state.iconic);
    EXPECT_GT(state.changes, before);
    EXPECT_FALSE(kitwin::ReadWindowState(kNotAWindow, state));
    EXPECT_TRUE(DestroyWindow(window));

    // Many threads making and destroying windows at once.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 20; ++i)
            {
                HWND w = Make("w");
                EXPECT_TRUE(SetWindowTextA(w, "x"));
                EXPECT_TRUE(DestroyWindow(w));
            }
        });
    for (std::thread &t : threads)
        t.join();
}

TEST(Window, BroughtToTheForegroundItsRecordChanges)
{
    HWND window = Make("al frente");
    kitwin::WindowState state;
    ASSERT_TRUE(kitwin::ReadWindowState(window, state));
    const DWORD before = state.changes;
    ASSERT_TRUE(SetForegroundWindow(window));
    ASSERT_TRUE(kitwin::ReadWindowState(window, state));
    EXPECT_GT(state.changes, before);
    EXPECT_TRUE(DestroyWindow(window));
}

namespace
{
struct Box
{
    HWND owner = nullptr;
    std::string text, caption;
    UINT type = 0;
};

int Answer(void *context, HWND owner, const char *text, const char *caption, UINT type)
{
    auto *box = static_cast<Box *>(context);
    *box = {owner, text, caption, type};
    return IDNO;
}
} // namespace

TEST(MessageBoxes, GoesToTheUserInterfacesProvider)
{
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MessageBoxA(nullptr, "texto", "título", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));

    Box box;
    kitwin::SetMessageBoxProvider(Answer, &box);
    HWND owner = Make("dueño");
    EXPECT_EQ(MessageBoxA(owner, "¿Seguro?", "Cancelar asistente", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(box.owner, owner);
    EXPECT_EQ(box.text, "¿Seguro?");
    EXPECT_EQ(box.caption, "Cancelar asistente");
    EXPECT_EQ(box.type, MB_YESNO | MB_ICONQUESTION);
    // Windows' defaults for missing texts.
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDNO);
    EXPECT_EQ(box.text, "");
    EXPECT_EQ(box.caption, "Error");
    // Arguments Windows refuses never reach the provider.
    box = {};
    SetLastError(0xdeadbeef);
    EXPECT_EQ(MessageBoxA(kNotAWindow, "x", "y", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(box.text.empty());
    kitwin::SetMessageBoxProvider(nullptr, nullptr);
    EXPECT_TRUE(DestroyWindow(owner));
}
