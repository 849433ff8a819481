// The shell link: a shortcut saved to a .lnk file and loaded back, and the file as another
// reader of the format (lnkinfo, from liblnk-utils) sees it.
#include "platform/windows.h"
#include "platform/wstring.h"
#include "testing/kittest.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace
{
constexpr char kDescription[] = "Conexión ADSL Router";
constexpr WORD kHotkey = 0x0641; // HOTKEYF_SHIFT in the high byte, the key A in the low

WString Wide(const std::string &ansi)
{
    WString wide(ansi.size() + 1, 0);
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), static_cast<int>(wide.size())) -
                1);
    return wide;
}

// The target as the link's LinkInfo names it: a full path of drive C: (the simulated PC's root).
std::string LocalPath(const std::string &path)
{
#ifdef _WIN32
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return std::string(full, length);
#else
    std::string local = "C:" + path.substr(kittest::MachineDir().size());
    for (char &c : local)
        if (c == '/')
            c = '\\';
    return local;
#endif
}

class ShellLinkTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        root_ = kittest::MachineDir();
        target_ = root_ + "/program_files/NUV/dax.exe";
        CreateDirectoryA((root_ + "/program_files").c_str(), nullptr);
        CreateDirectoryA((root_ + "/program_files/NUV").c_str(), nullptr);
        CreateDirectoryA((root_ + "/desktop").c_str(), nullptr);
        kittest::WriteHostFile(target_, "MZ");
        linkFile_ = root_ + "/desktop/" + kDescription + ".lnk";
    }
    void TearDown() override { CoUninitialize(); }

    IShellLinkA *NewLink()
    {
        IShellLinkA *link = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&link)),
                  S_OK);
        return link;
    }

    IPersistFile *FileOf(IShellLinkA *link)
    {
        IPersistFile *file = nullptr;
        EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&file)), S_OK);
        return file;
    }

    void SaveDaxLink()
    {
        IShellLinkA *link = NewLink();
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->SetPath(target_.c_str()), S_OK);
        EXPECT_EQ(link->SetDescription(kDescription), S_OK);
        EXPECT_EQ(link->SetArguments("/asistente \"ADSL\""), S_OK);
        EXPECT_EQ(link->SetWorkingDirectory((root_ + "/program_files/NUV").c_str()), S_OK);
        EXPECT_EQ(link->SetIconLocation(target_.c_str(), 3), S_OK);
        EXPECT_EQ(link->SetHotkey(kHotkey), S_OK);
        IPersistFile *file = FileOf(link);
        EXPECT_EQ(file->IsDirty(), S_OK);
        EXPECT_EQ(file->Save(Wide(linkFile_).c_str(), TRUE), S_OK);
        EXPECT_EQ(file->IsDirty(), S_FALSE);
        file->Release();
        EXPECT_EQ(link->Release(), 0u);
    }

    std::string root_, target_, linkFile_;
};
} // namespace

TEST_F(ShellLinkTest, SavedAndLoadedBack)
{
    SaveDaxLink();
    IShellLinkA *link = NewLink();
    ASSERT_NE(link, nullptr);
    IPersistFile *file = FileOf(link);
    ASSERT_EQ(file->Load(Wide(linkFile_).c_str(), STGM_READ), S_OK);
    char text[MAX_PATH];
    WIN32_FIND_DATAA found = {};
    EXPECT_EQ(link->GetPath(text, MAX_PATH, &found, SLGP_RAWPATH), S_OK);
    char full[MAX_PATH]; // the link keeps the full name, as GetFullPathNameA writes it
    ASSERT_GT(GetFullPathNameA(target_.c_str(), MAX_PATH, full, nullptr), 0u);
    EXPECT_EQ(std::string(text), full);
    EXPECT_EQ(std::string(found.cFileName), "dax.exe");
    EXPECT_EQ(found.nFileSizeLow, 2u);
    EXPECT_EQ(link->GetDescription(text, MAX_PATH), S_OK);
    EXPECT_EQ(std::string(text), kDescription);
    EXPECT_EQ(link->GetArguments(text, MAX_PATH), S_OK);
    EXPECT_EQ(std::string(text), "/asistente \"ADSL\"");
    EXPECT_EQ(link->GetWorkingDirectory(text, MAX_PATH), S_OK);
    EXPECT_EQ(std::string(text), root_ + "/program_files/NUV");
    int icon = -1;
    EXPECT_EQ(link->GetIconLocation(text, MAX_PATH, &icon), S_OK);
    EXPECT_EQ(std::string(text), target_);
    EXPECT_EQ(icon, 3);
    WORD hotkey = 0;
    EXPECT_EQ(link->GetHotkey(&hotkey), S_OK);
    EXPECT_EQ(hotkey, kHotkey);
    int show = 0;
    EXPECT_EQ(link->GetShowCmd(&show), S_OK);
    EXPECT_EQ(show, SW_SHOWNORMAL);
#ifndef _WIN32
    // How a short buffer is filled is not documented: the simulated PC cuts the text to fit.
    EXPECT_EQ(link->GetDescription(text, 5), S_OK);
    EXPECT_EQ(std::string(text), "Cone");
#endif

    LPOLESTR current = nullptr;
    EXPECT_EQ(file->GetCurFile(&current), S_OK);
    EXPECT_EQ(WString(current), Wide(linkFile_));
    CoTaskMemFree(current);
    CLSID clsid = {};
    EXPECT_EQ(file->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(clsid == CLSID_ShellLink);
    EXPECT_EQ(file->IsDirty(), S_FALSE);
    EXPECT_EQ(file->SaveCompleted(nullptr), S_OK);
    file->Release();
    EXPECT_EQ(link->Release(), 0u);
}

TEST_F(ShellLinkTest, TheFileInTheShellsFormat)
{
    SaveDaxLink();
    const std::string data = kittest::ReadHostFile(linkFile_);
    ASSERT_GE(data.size(), 0x4Cu);
    EXPECT_EQ(data.substr(0, 4), std::string("\x4C\0\0\0", 4));
    EXPECT_EQ(data.substr(4, 16), std::string(reinterpret_cast<const char *>(&CLSID_ShellLink), 16));
    EXPECT_NE(data.find(LocalPath(target_)), std::string::npos); // LinkInfo's local path
    EXPECT_EQ(data.substr(data.size() - 4), std::string(4, '\0'));
}

#ifndef _WIN32
TEST_F(ShellLinkTest, ReadByLnkinfo)
{
    if (GetFileAttributesA("/usr/bin/lnkinfo") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP()
            << "lnkinfo is not installed (Debian package liblnk-utils): the .lnk file is not checked "
               "against another reader";
    SaveDaxLink();
    const std::string command = "/usr/bin/lnkinfo '" + linkFile_ + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[512];
    while (size_t got = fread(buffer, 1, sizeof buffer, pipe.get()))
        output.append(buffer, got);
    const std::string utf8Description = "Conexi\xC3\xB3n ADSL Router"; // lnkinfo prints UTF-8
    EXPECT_NE(output.find("Local path\t\t\t: C:\\program_files\\NUV\\dax.exe"), std::string::npos) << output;
    EXPECT_NE(output.find(": " + utf8Description), std::string::npos) << output;
    EXPECT_NE(output.find("Icon location\t\t\t: C:\\program_files\\NUV\\dax.exe"), std::string::npos)
        << output;
    EXPECT_NE(output.find("/asistente \"ADSL\""), std::string::npos) << output;
}
#endif

TEST_F(ShellLinkTest, LoadFailures)
{
    IShellLinkA *link = NewLink();
    ASSERT_NE(link, nullptr);
    IPersistFile *file = FileOf(link);
    LPOLESTR current = reinterpret_cast<LPOLESTR>(0x1);
    EXPECT_EQ(file->GetCurFile(&current), S_FALSE); // no current file yet
    CoTaskMemFree(current);
    EXPECT_EQ(file->Load(Wide(root_ + "/desktop/none.lnk").c_str(), STGM_READ),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    kittest::WriteHostFile(root_ + "/desktop/bad.lnk", std::string("\x4C\0\0\0garbage", 11));
    EXPECT_EQ(file->Load(Wide(root_ + "/desktop/bad.lnk").c_str(), STGM_READ), E_FAIL);
#ifndef _WIN32
    // Saving to the current file when there is none is not documented: the simulated PC refuses.
    EXPECT_EQ(file->Save(nullptr, TRUE), E_INVALIDARG);
    current = reinterpret_cast<LPOLESTR>(0x1);
    EXPECT_EQ(file->GetCurFile(&current), S_FALSE);
    EXPECT_EQ(current, nullptr);
#endif
    char text[MAX_PATH] = "x";
    EXPECT_EQ(link->GetPath(text, MAX_PATH, nullptr, 0), S_FALSE);
    EXPECT_EQ(std::string(text), "");
#ifndef _WIN32
    EXPECT_EQ(link->GetIDList(nullptr), E_NOTIMPL); // the simulated PC has no item lists
#endif
    file->Release();
    link->Release();
}
