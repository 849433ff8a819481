// The Win32 loops measured on both sides: built by MinGW as a Windows program (run under Wine)
// and against platform/windows.h as a Linux program on the simulated PC. Only calls both
// offer; each loop runs for a fixed time and prints "loop<TAB>ops/s".
#include "platform/windows.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

const char kBenchKey[] = "Software\\KitBench";
const char kOpenKey[] = "Software\\KitBench\\Open";
const char kValueName[] = "Text";
const char kIniName[] = "kitbench.ini";
const char kIniSection[] = "Bench";
const char kIniKey[] = "Text";
const char *const kTexts[2] = {"Conexión ADSL Router", "Conexión ADSL Módem"};
constexpr DWORD kBatch = 64; // calls between two looks at the clock
constexpr double kWarmupSeconds = 0.1;

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char *what, DWORD code)
{
    std::fprintf(stderr, "vs_wine: %s failed (%lu)\n", what, static_cast<unsigned long>(code));
    std::exit(1);
}

void Check(LONG status, const char *what)
{
    if (status != ERROR_SUCCESS)
        Fail(what, static_cast<DWORD>(status));
}

class Key
{
  public:
    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    HKEY *Out() { return &m_key; }
    HKEY Get() const { return m_key; }

  private:
    HKEY m_key = nullptr;
};

class Handle
{
  public:
    explicit Handle(HANDLE handle, const char *what) : m_handle(handle)
    {
        if (!m_handle)
            Fail(what, GetLastError());
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() { CloseHandle(m_handle); }
    HANDLE Get() const { return m_handle; }

  private:
    HANDLE m_handle;
};

HANDLE NewAutoResetEvent()
{
    return CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

void CreateKey(const char *path, Key &key)
{
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.Out(), nullptr),
          "RegCreateKeyExA");
}

void SetText(HKEY key, const char *text)
{
    Check(RegSetValueExA(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                         static_cast<DWORD>(std::strlen(text) + 1)),
          "RegSetValueExA");
}

// Runs body in batches for the given time; returns calls per second.
template <typename Body> double Rate(double seconds, Body &&body)
{
    const auto start = Clock::now();
    const auto end =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    unsigned long long calls = 0;
    auto now = start;
    do
    {
        for (DWORD i = 0; i < kBatch; ++i)
            body(calls + i);
        calls += kBatch;
        now = Clock::now();
    } while (now < end);
    return static_cast<double>(calls) / std::chrono::duration<double>(now - start).count();
}

template <typename Body> void Measure(const char *name, double seconds, Body &&body)
{
    Rate(kWarmupSeconds, body);
    std::printf("%s\t%.0f\n", name, Rate(seconds, body));
    std::fflush(stdout);
}

void RegistryLoops(double seconds)
{
    Key bench;
    CreateKey(kBenchKey, bench);
    SetText(bench.Get(), kTexts[0]);
    {
        Key open;
        CreateKey(kOpenKey, open);
    }

    Measure("reg_read", seconds, [&](unsigned long long) {
        char buffer[64];
        DWORD type = 0, size = sizeof buffer;
        Check(RegQueryValueExA(bench.Get(), kValueName, nullptr, &type, reinterpret_cast<BYTE *>(buffer),
                               &size),
              "RegQueryValueExA");
    });
    Measure("reg_write", seconds, [&](unsigned long long n) { SetText(bench.Get(), kTexts[n & 1]); });
    Measure("reg_open_close", seconds, [&](unsigned long long) {
        HKEY key = nullptr;
        Check(RegOpenKeyExA(HKEY_CURRENT_USER, kOpenKey, 0, KEY_READ, &key), "RegOpenKeyExA");
        RegCloseKey(key);
    });
    Measure("reg_create_existing", seconds, [&](unsigned long long) {
        Key key;
        CreateKey(kOpenKey, key);
    });

    RegDeleteKeyA(HKEY_CURRENT_USER, kOpenKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);
}

std::string IniPath()
{
    char folder[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH)
        Fail("GetTempPathA", GetLastError());
    return std::string(folder, length) + kIniName;
}

void WriteIni(const std::string &path, const char *text)
{
    if (!WritePrivateProfileStringA(kIniSection, kIniKey, text, path.c_str()))
        Fail("WritePrivateProfileStringA", GetLastError());
}

void IniLoops(double seconds)
{
    const std::string path = IniPath();
    WriteIni(path, kTexts[0]);

    Measure("ini_read", seconds, [&](unsigned long long) {
        char buffer[64];
        if (GetPrivateProfileStringA(kIniSection, kIniKey, "", buffer, sizeof buffer, path.c_str()) == 0)
            Fail("GetPrivateProfileStringA", GetLastError());
    });
    Measure("ini_write", seconds, [&](unsigned long long n) { WriteIni(path, kTexts[n & 1]); });

    DeleteFileA(path.c_str());
}

// Two auto-reset events bounced between this thread and a partner.
struct PingPong
{
    Handle ping{NewAutoResetEvent(), "CreateEventA"};
    Handle pong{NewAutoResetEvent(), "CreateEventA"};
    std::atomic<bool> stop{false};
};

DWORD WINAPI EventPartner(LPVOID context)
{
    auto &pp = *static_cast<PingPong *>(context);
    for (;;)
    {
        WaitForSingleObject(pp.ping.Get(), INFINITE);
        if (pp.stop.load())
            return 0;
        SetEvent(pp.pong.Get());
    }
}

void EventLoop(double seconds)
{
    PingPong pp;
    Handle partner(CreateThread(nullptr, 0, EventPartner, &pp, 0, nullptr), "CreateThread");
    Measure("event_round_trip", seconds, [&](unsigned long long) {
        SetEvent(pp.ping.Get());
        WaitForSingleObject(pp.pong.Get(), INFINITE);
    });
    pp.stop.store(true);
    SetEvent(pp.ping.Get());
    WaitForSingleObject(partner.Get(), INFINITE);
}

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kPong = WM_USER + 2;

void EnsureQueue()
{
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

// Answers every ping with a pong to the thread named in wParam, until WM_QUIT.
DWORD WINAPI MessagePartner(LPVOID ready)
{
    EnsureQueue();
    SetEvent(static_cast<HANDLE>(ready));
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
    {
        if (msg.message == kPing)
            PostThreadMessageA(static_cast<DWORD>(msg.wParam), kPong, 0, 0);
    }
    return 0;
}

void MessageLoop(double seconds)
{
    EnsureQueue();
    Handle ready(NewAutoResetEvent(), "CreateEventA");
    DWORD partnerId = 0;
    Handle partner(CreateThread(nullptr, 0, MessagePartner, ready.Get(), 0, &partnerId), "CreateThread");
    WaitForSingleObject(ready.Get(), INFINITE);
    const WPARAM self = GetCurrentThreadId();

    Measure("message_round_trip", seconds, [&](unsigned long long) {
        if (!PostThreadMessageA(partnerId, kPing, self, 0))
            Fail("PostThreadMessageA", GetLastError());
        MSG msg;
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0 || msg.message != kPong)
            Fail("GetMessageA", GetLastError());
    });
    PostThreadMessageA(partnerId, WM_QUIT, 0, 0);
    WaitForSingleObject(partner.Get(), INFINITE);
}

} // namespace

// usage: loops [SECONDS_PER_LOOP]
int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 0.7;
    RegistryLoops(seconds);
    IniLoops(seconds);
    EventLoop(seconds);
    MessageLoop(seconds);
    return 0;
}
