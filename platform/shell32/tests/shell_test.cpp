// Shell: the program that opens a file (FindExecutableA) from the file types of HKCR.
#include "platform/windows.h"
#include "testing/kittest.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace
{
void SetDefault(const std::string &subKey, const std::string &value, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE *>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::string MakeFile(const std::string &name)
{
    CreateDirectoryA((kittest::MachineDir() + "/temp").c_str(), nullptr);
    const std::string path = kittest::MachineDir() + "/temp/" + name;
    std::ofstream(path) << "x";
    return path;
}

// The result and the program found, the buffer guarded past its terminator.
struct Found
{
    UINT_PTR code;
    std::string program;
    DWORD error;
};

Found Find(const std::string &file, LPCSTR directory = nullptr)
{
    char buffer[MAX_PATH + 8];
    std::memset(buffer, 0x55, sizeof buffer);
    SetLastError(0xdeadbeef);
    const auto code = reinterpret_cast<UINT_PTR>(FindExecutableA(file.c_str(), directory, buffer));
    Found found{code, buffer, GetLastError()};
    EXPECT_EQ(static_cast<unsigned char>(buffer[found.program.size() + 1]), 0x55) << "written past the text";
    return found;
}
} // namespace

TEST(ShellFindExecutable, FollowsTheFileType)
{
    SetDefault(".htm", "htmlfile");
    SetDefault("htmlfile\\shell\\open\\command",
               "\"C:\\Archivos de programa\\Internet Explorer\\IEXPLORE.EXE\" -nohome");
    SetDefault(".log", "logfile");
    SetDefault("logfile\\shell\\open\\command", "notepad %1");
    SetDefault(".doc", "docfile");
    SetDefault("docfile\\shell", "editar");
    SetDefault("docfile\\shell\\editar\\command", "\"C:\\Office\\WORD.EXE\" /e \"%1\"");
    SetDefault("docfile\\shell\\open\\command", "C:\\Office\\VIEWER.EXE");
    ASSERT_TRUE(SetEnvironmentVariableA("KITDIR", "C:\\Kit"));
    SetDefault(".cfg", "cfgfile");
    SetDefault("cfgfile\\shell\\open\\command", "%KITDIR%\\cfgedit.exe %1 %NOSUCH%", REG_EXPAND_SZ);

    struct Case
    {
        const char *file;
        const char *program;
    };
    const Case cases[] = {
        {"page.htm", "C:\\Archivos de programa\\Internet Explorer\\IEXPLORE.EXE"}, // quoted
        {"app.log", "notepad"},                                                    // the first word
        {"router.cfg", "C:\\Kit\\cfgedit.exe"},                                    // expanded
#ifndef _WIN32
        // The type's own default verb: Windows documents "open" and the double click alike.
        {"letter.doc", "C:\\Office\\WORD.EXE"},
#endif
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.file);
        const Found found = Find(MakeFile(c.file));
        EXPECT_GT(found.code, 32u);
        EXPECT_EQ(found.program, c.program);
#ifndef _WIN32
        EXPECT_EQ(found.error, static_cast<DWORD>(ERROR_SUCCESS)); // Windows documents only the result
#endif
    }
}

TEST(ShellFindExecutable, UnquotedCommandWithBlanksNamesTheWholeProgram)
{
    // As when it runs the command, the shell takes the blanks up to the program that exists.
    const std::string folder = kittest::MachineDir() + "\\temp\\Archivos de programa";
    CreateDirectoryA((kittest::MachineDir() + "\\temp").c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((folder + "\\Editor").c_str(), nullptr));
    char program[MAX_PATH];
    ASSERT_GT(GetFullPathNameA(MakeFile("Archivos de programa/Editor/EDIT.EXE").c_str(), MAX_PATH, program,
                               nullptr),
              0u);
    SetDefault(".txt", "txtfile");
    SetDefault("txtfile\\shell\\open\\command", std::string(program) + " %1");
    const Found found = Find(MakeFile("notes.TXT"));
    EXPECT_GT(found.code, 32u);
    EXPECT_EQ(found.program, program);
}

TEST(ShellFindExecutable, ProgramsOpenThemselves)
{
    char program[MAX_PATH]; // the full name, as Windows writes it
    ASSERT_GT(GetFullPathNameA(MakeFile("setup.exe").c_str(), MAX_PATH, program, nullptr), 0u);
    const Found found = Find(program);
    EXPECT_GT(found.code, 32u);
    EXPECT_EQ(found.program, program);

    const Found relative = Find("setup.exe", (kittest::MachineDir() + "/temp").c_str());
    EXPECT_GT(relative.code, 32u);
    EXPECT_EQ(relative.program, program);
}

TEST(ShellFindExecutable, Failures)
{
    SetDefault(".noc", "nocommand");
    SetDefault("nocommand", "A type without a program");
    SetDefault(".empty", "");
    struct Case
    {
        const char *what;
        std::string file;
        UINT_PTR code;
        DWORD error;
    };
    const Case cases[] = {
        {"no type", MakeFile("data.xyz"), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"no extension", MakeFile("README"), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"type without command", MakeFile("a.noc"), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"empty type", MakeFile("a.empty"), SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"a folder", kittest::MachineDir() + "/temp", SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
        {"missing file", kittest::MachineDir() + "/temp/none.htm", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
#ifndef _WIN32
        // The simulated PC's answers where Windows documents none.
        {"missing folder", kittest::MachineDir() + "/nofolder/a.htm", SE_ERR_PNF, ERROR_PATH_NOT_FOUND},
        {"empty name", "", SE_ERR_FNF, ERROR_FILE_NOT_FOUND},
#endif
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.what);
        const Found found = Find(c.file);
        EXPECT_EQ(found.code, c.code);
        EXPECT_EQ(found.program, "");
#ifndef _WIN32
        EXPECT_EQ(found.error, c.error); // Windows documents only the result
#endif
    }
#ifndef _WIN32
    // Windows requires both pointers and does not check them.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(FindExecutableA(MakeFile("x.htm").c_str(), nullptr, nullptr)),
              static_cast<UINT_PTR>(SE_ERR_FNF));
    char buffer[MAX_PATH];
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(FindExecutableA(nullptr, nullptr, buffer)),
              static_cast<UINT_PTR>(SE_ERR_FNF));
#endif
}
