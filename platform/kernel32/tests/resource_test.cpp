// Resources compiled into the program (res/resource_test.rc) and into a library
// (res/testlib_resources.rc): FindResourceA, LoadResource, SizeofResource by module handle.
#include "platform/windows.h"
#ifndef _WIN32
#include "platform/kit/kitloader.h"
#include "tools/rc/RcFormat.h"
#endif

#include "res/resource_test.h"
#include "testing/machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using kittest::LoaderText;

std::vector<BYTE> Data(HMODULE module, LPCSTR name, LPCSTR type)
{
    HRSRC resource = FindResourceA(module, name, type);
    if (!resource)
        return {};
    const auto *bytes = static_cast<const BYTE *>(LockResource(LoadResource(module, resource)));
    return std::vector<BYTE>(bytes, bytes + SizeofResource(module, resource));
}

struct Missing
{
    const char *what;
    LPCSTR name;
    LPCSTR type;
    DWORD error;
};

class LibraryResources : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        library = LoadLibraryA("testlib_resources.dll");
        ASSERT_NE(library, nullptr) << LoaderText();
    }
    void TearDown() override { FreeLibrary(library); }
    HMODULE library = nullptr;
};
} // namespace

TEST(Resource, EachTypeOfTheProgram)
{
    HMODULE program = GetModuleHandleA(nullptr);
    EXPECT_EQ(Data(nullptr, MAKEINTRESOURCEA(1), "xdes"), (std::vector<BYTE>{0, 1, 2, 3, 4, 5, 6, 0xff}));
    EXPECT_EQ(Data(program, MAKEINTRESOURCEA(1), "XDES").size(), 8u);
    // A bitmap is the file without its 14-byte file header: the BITMAPINFOHEADER first.
    std::vector<BYTE> bitmap = Data(program, MAKEINTRESOURCEA(IDB_PHOTO), RT_BITMAP);
    ASSERT_EQ(bitmap.size(), 70u - 14u);
    EXPECT_EQ(bitmap[0], 40);
    EXPECT_EQ(Data(program, "photo", RT_BITMAP), bitmap); // names without case
    EXPECT_EQ(Data(program, "#130", RT_BITMAP), bitmap);
    EXPECT_EQ(Data(program, MAKEINTRESOURCEA(130), "#2"), bitmap);
    // An icon: a group naming its images by RT_ICON ids.
    std::vector<BYTE> group = Data(program, MAKEINTRESOURCEA(IDI_KIT), RT_GROUP_ICON);
    ASSERT_EQ(group.size(), 6u + 2 * 14u);
    EXPECT_EQ(group[4], 2);
    const WORD firstImage = static_cast<WORD>(group[6 + 12] | group[6 + 13] << 8);
    const WORD secondImage = static_cast<WORD>(group[20 + 12] | group[20 + 13] << 8);
    EXPECT_EQ(Data(program, MAKEINTRESOURCEA(firstImage), RT_ICON), std::vector<BYTE>(40, 0x11));
    EXPECT_EQ(Data(program, MAKEINTRESOURCEA(secondImage), RT_ICON), std::vector<BYTE>(72, 0x22));
    // An empty file is a resource of no bytes.
    HRSRC empty = FindResourceA(program, MAKEINTRESOURCEA(7), RT_RCDATA);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(LoadResource(program, empty), nullptr);
    EXPECT_EQ(SizeofResource(program, empty), 0u);
    EXPECT_FALSE(FreeResource(LoadResource(program, empty)));
    // Strings come in blocks of sixteen: ids 0..15 in block 1, 16..31 in block 2.
    EXPECT_FALSE(Data(program, MAKEINTRESOURCEA(1), RT_STRING).empty());
    EXPECT_FALSE(Data(program, MAKEINTRESOURCEA(2), RT_STRING).empty());
    EXPECT_FALSE(Data(program, MAKEINTRESOURCEA(16), RT_STRING).empty());
}

TEST(Resource, MissingResourcesAsWindowsReportsThem)
{
    const Missing cases[] = {
        {"unknown type", MAKEINTRESOURCEA(1), "NOSUCHTYPE", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"ordinal type absent", MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(9), ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"bitmap name absent", MAKEINTRESOURCEA(131), RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"named bitmap absent", "OTHER", RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"string block absent", MAKEINTRESOURCEA(5), RT_STRING, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"dialog absent", MAKEINTRESOURCEA(2002), RT_DIALOG, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"custom name absent", MAKEINTRESOURCEA(2), "xdes", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"not a #number", "#1x", RT_BITMAP, ERROR_RESOURCE_NAME_NOT_FOUND},
    };
    for (const Missing &c : cases)
    {
        SetLastError(0xdeadbeef);
        EXPECT_EQ(FindResourceA(nullptr, c.name, c.type), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
#ifndef _WIN32
    // The simulated PC knows its resource handles; Windows reads whatever the pointer points at.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SizeofResource(nullptr, reinterpret_cast<HRSRC>(const_cast<Missing *>(cases))), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
#endif
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
}

TEST_F(LibraryResources, EachModuleHasItsOwn)
{
    auto own = reinterpret_cast<HMODULE (*)()>(
        reinterpret_cast<void *>(GetProcAddress(library, "ResourcesOwnModule")));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own(), library);
    EXPECT_EQ(Data(library, MAKEINTRESOURCEA(2), "xdes").size(), 8u);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindResourceA(library, MAKEINTRESOURCEA(1), "xdes"), nullptr); // the program's, not its
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindResourceA(library, MAKEINTRESOURCEA(IDD_PAGE), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(2), "xdes"), nullptr);
}

TEST(Resource, ModulesWithoutResources)
{
    HMODULE sample = LoadLibraryA("testlib_sample.dll");
    ASSERT_NE(sample, nullptr) << LoaderText();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindResourceA(sample, MAKEINTRESOURCEA(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    FreeLibrary(sample);
#ifndef _WIN32
    // The simulated PC's built-in system libraries have none (Windows' own have theirs).
    HMODULE kernel32 = GetModuleHandleA("KERNEL32.DLL");
    ASSERT_NE(kernel32, nullptr);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindResourceA(kernel32, MAKEINTRESOURCEA(1), RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
#endif
    // No name is MAKEINTRESOURCE(0), an ordinal no resource has.
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindResourceA(nullptr, nullptr, RT_STRING), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

#ifndef _WIN32
// The dialog template as the compiler wrote it, read back as a binding reads it (tools/rc's
// reader: the simulated PC's resource compiler and its bindings).
TEST(Resource, DialogTemplateReadsBack)
{
    std::vector<BYTE> bytes = Data(nullptr, MAKEINTRESOURCEA(IDD_PAGE), RT_DIALOG);
    auto dialog = kitrc::ReadDialog(bytes.data(), bytes.size());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->style, DS_SETFONT | WS_CHILD | WS_DISABLED | WS_CAPTION);
    EXPECT_EQ(dialog->exStyle, 0x00010000u); // WS_EX_CONTROLPARENT
    EXPECT_EQ(dialog->caption, u"Página");
    EXPECT_EQ(dialog->typeface, u"MS Sans Serif");
    EXPECT_EQ(dialog->pointSize, 8);
    EXPECT_EQ(dialog->weight, 400);
    EXPECT_EQ(dialog->charset, 1);
    EXPECT_EQ((std::vector<int>{dialog->x, dialog->y, dialog->cx, dialog->cy}),
              (std::vector<int>{0, 0, 317, 143}));
    ASSERT_EQ(dialog->items.size(), 20u);

    struct Expected
    {
        std::uint32_t id;
        std::u16string className;
        std::u16string text;
        std::uint32_t style;
        std::uint32_t exStyle;
    };
    const std::uint32_t cv = WS_CHILD | WS_VISIBLE;
    const Expected expected[] = {
        {0xFFFFFFFF, u"Static", u"Nombre:", cv | WS_GROUP | 0x0, 0},
        {0xFFFFFFFF, u"Static", u"Derecha", cv | WS_GROUP | 0x2 | 0x80, 0},
        {0xFFFFFFFF, u"Static", u"Centro", cv | 0x1, 0},
        {IDC_NAME, u"Edit", u"", cv | WS_TABSTOP | 0x80, 0x200},
        {1010, u"Button", u"Examinar...", cv | WS_TABSTOP, 0},
        {IDOK, u"Button", u"Aceptar", cv | WS_TABSTOP | 0x1, 0},
        {0xFFFFFFFF, u"Button", u"Modo", cv | 0x7, 0},
        {IDC_MODE_ONE, u"Button", u"Un PC", cv | 0x9 | WS_GROUP | WS_TABSTOP, 0},
        {IDC_MODE_MANY, u"Button", u"Varios PC", cv | 0x9, 0},
        {IDC_CHECK, u"Button", u"Marcar", cv | 0x3 | WS_TABSTOP, 0},
        {IDC_LIST, u"SysListView32", u"", cv | 0x1 | 0x4 | WS_BORDER | WS_TABSTOP, 0},
        {IDC_ADDRESS, u"SysIPAddress32", u"", cv | WS_TABSTOP, 0},
        {IDC_COMBO, u"ComboBox", u"", cv | 0x3 | WS_VSCROLL | WS_TABSTOP, 0},
        {1011, u"Button", u"Radio", cv | 0x4 | WS_TABSTOP, 0},
        {1012, u"Button", u"Auto radio", cv | 0x9 | WS_TABSTOP, 0},
        {1013, u"Button", u"Check", cv | 0x2 | WS_TABSTOP, 0},
        {1014, u"Button", u"Auto check", cv | 0x3 | WS_TABSTOP, 0},
        {0xFFFFFFFF, u"Static", u"Texto", cv, 0},
        {1015, u"Edit", u"", cv | 0x20 | WS_BORDER, 0},
        {1016, u"ComboBox", u"", cv | 0x2, 0},
    };
    for (size_t i = 0; i < std::size(expected); ++i)
    {
        const kitrc::DialogItem &item = dialog->items[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(item.id, expected[i].id);
        EXPECT_EQ(item.className, expected[i].className);
        EXPECT_EQ(item.text, expected[i].text);
        EXPECT_EQ(item.style, expected[i].style);
        EXPECT_EQ(item.exStyle, expected[i].exStyle);
    }
    const kitrc::DialogItem &name = dialog->items[3];
    EXPECT_EQ((std::vector<int>{name.x, name.y, name.cx, name.cy}), (std::vector<int>{7, 20, 120, 14}));
}
#endif
