// CFileMap: named shared blocks, within a process and between two.
#include "comun/FileMap.h"
#include "testing/kittest.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

TEST(FileMap, TwoProcessesShareOneBlock)
{
    CFileMap block;
    ASSERT_EQ(block.CreateTemp(64, "QelBloque"), S_OK); // created here
    std::strcpy(static_cast<char *>(block.VerPFileMap()), "primero");

    kittest::Child child("comun_child", {"bloque", "QelBloque", " y segundo"});
    EXPECT_EQ(child.ReadLine(), "1"); // it existed
    EXPECT_EQ(child.ReadLine(), "primero y segundo");
    EXPECT_STREQ(static_cast<const char *>(block.VerPFileMap()), "primero y segundo");
}

TEST(FileMap, CreatedByTheOtherProcess)
{
    kittest::Child child("comun_child", {"bloque", "QelOtro", "del hijo"});
    ASSERT_EQ(child.ReadLine(), "0");
    ASSERT_EQ(child.ReadLine(), "del hijo");
    CFileMap block;
    EXPECT_EQ(block.CreateTemp(64, "QelOtro"), S_FALSE);
    EXPECT_STREQ(static_cast<const char *>(block.VerPFileMap()), "del hijo");
    CFileMap reader;
    ASSERT_EQ(reader.Open("QelOtro", CFileMap::modoSoloLectura), S_OK);
    EXPECT_STREQ(static_cast<const char *>(reader.VerPFileMap()), "del hijo");
}

TEST(FileMap, OpenModes)
{
    CFileMap owner;
    ASSERT_EQ(owner.CreateTemp(16, "QelModos"), S_OK);
    CFileMap block;
    EXPECT_EQ(block.Open("QelModos", 0), S_OK);
    static_cast<char *>(block.VerPFileMap())[0] = 'a'; // all access
    EXPECT_EQ(static_cast<char *>(owner.VerPFileMap())[0], 'a');
    EXPECT_EQ(block.Open("QelModos", 4), S_OK);
    EXPECT_EQ(block.Open("QelModos", 6), S_OK); // any mode with bit 4 reads only
    for (LONG mode : {1, 2, 8, -8})
    {
        EXPECT_EQ(block.Open("QelModos", mode), E_INVALIDARG) << mode;
        EXPECT_FALSE(block.IsOpen());
    }
    EXPECT_EQ(block.Open("QelNoExiste", 4), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(block.Open("", 4), E_INVALIDARG);
    EXPECT_EQ(block.Open(nullptr, 4), E_INVALIDARG);
    EXPECT_FALSE(block.IsOpen());
    EXPECT_EQ(block.VerPFileMap(), nullptr);
}

TEST(FileMap, CreateTempRules)
{
    CFileMap block;
    EXPECT_EQ(block.CreateTemp(0, "QelCero"), E_INVALIDARG);
    EXPECT_FALSE(block.IsOpen());
    ASSERT_EQ(block.CreateTemp(8, "QelPequeno"), S_OK);
    // The block exists with fewer bytes than asked for: refused, nothing left open.
    CFileMap bigger;
    EXPECT_EQ(bigger.CreateTemp(1 << 20, "QelPequeno"), E_ACCESSDENIED);
    EXPECT_FALSE(bigger.IsOpen());
    EXPECT_EQ(bigger.CreateTemp(4, "QelPequeno"), S_FALSE);
    // A block without a name is private.
    CFileMap anonymous;
    EXPECT_EQ(anonymous.CreateTemp(32, nullptr), S_OK);
    EXPECT_NE(anonymous.VerPFileMap(), nullptr);
    EXPECT_EQ(block.Create("fichero.dat", 8, "QelFichero", 0), E_NOTIMPL);
}

TEST(FileMap, ClosedObjects)
{
    CFileMap block;
    EXPECT_EQ(block.Close(), S_FALSE);
    EXPECT_FALSE(block.IsOpen());
    EXPECT_EQ(block.VerPFileMap(), nullptr);
    ASSERT_EQ(block.CreateTemp(4, "QelCierre"), S_OK);
    EXPECT_EQ(block.Close(), S_OK);
    EXPECT_EQ(block.Close(), S_FALSE);
    EXPECT_EQ(block.VerPFileMap(), nullptr);
    // Gone with its last handle.
    EXPECT_EQ(block.Open("QelCierre", 4), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}
