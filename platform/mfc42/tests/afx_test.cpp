// The MFC subset: run-time classes, CString's edits and formats, CStringList's positions, the
// exceptions' ownership and texts, and CFile's open modes and failures.
#include "platform/afx.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
class CDerivedException : public CFileException
{
    DECLARE_DYNAMIC(CDerivedException)
};
IMPLEMENT_DYNAMIC(CDerivedException, CFileException)

std::vector<std::string> Items(CStringList &list)
{
    std::vector<std::string> items;
    for (POSITION p = list.GetHeadPosition(); p;)
        items.emplace_back(list.GetNext(p));
    return items;
}

std::string TempFile()
{
    return kittest::MachineDir() + "/temp/afx.bin";
}
} // namespace

TEST(Afx, RunTimeClassesKnowTheirBases)
{
    CDerivedException e;
    const CRuntimeClass *c = e.GetRuntimeClass();
    EXPECT_STREQ("CDerivedException", c->m_lpszClassName);
    EXPECT_EQ(0xFFFFu, c->m_wSchema);
    EXPECT_EQ(static_cast<int>(sizeof(CDerivedException)), c->m_nObjectSize);
    EXPECT_EQ(nullptr, c->m_pfnCreateObject);
    for (const CRuntimeClass *base :
         {RUNTIME_CLASS(CFileException), RUNTIME_CLASS(CException), RUNTIME_CLASS(CObject)})
        EXPECT_TRUE(e.IsKindOf(base)) << base->m_lpszClassName;
    EXPECT_FALSE(e.IsKindOf(RUNTIME_CLASS(CFile)));
    CStringList list;
    EXPECT_FALSE(list.IsKindOf(RUNTIME_CLASS(CException)));
    EXPECT_TRUE(list.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_EQ(nullptr, RUNTIME_CLASS(CObject)->m_pBaseClass);
}

TEST(Afx, StringEditsAndFormats)
{
    CString s("  Conexión ADSL\r\n");
    s.TrimLeft();
    s.TrimRight();
    EXPECT_EQ(s, "Conexión ADSL");
    EXPECT_EQ(13, s.GetLength());
    EXPECT_EQ(s.Mid(9), "ADSL");
    EXPECT_EQ(s.Mid(9, 2), "AD");
    EXPECT_EQ(s.Mid(50), "");
    EXPECT_EQ(s.Left(4), "Cone");
    EXPECT_EQ(s.Right(2), "SL");
    EXPECT_EQ(s.Right(99), s);
    EXPECT_EQ(9, s.Find("ADSL"));
    EXPECT_EQ(-1, s.Find("adsl"));
    EXPECT_EQ(-1, s.Find('q'));
    EXPECT_EQ(-1, s.Find('C', 99));
    EXPECT_EQ(11, s.ReverseFind('S'));
    CString upper = s;
    upper.MakeUpper();
    EXPECT_EQ(upper, "CONEXIÓN ADSL"); // Windows 1252 letters fold too
    upper.MakeLower();
    EXPECT_EQ(upper, "conexión adsl");
    EXPECT_EQ(0, upper.CompareNoCase("CONEXIÓN ADSL"));
    EXPECT_EQ(1, CString("b").Compare("a"));
    EXPECT_EQ(2, upper.Replace("n", "NN"));
    EXPECT_EQ(upper, "coNNexióNN adsl");

    CString f;
    f.Format("%*.*s|%d|%s", 5, 5, "ab", 42, "x");
    EXPECT_EQ(f, "   ab|42|x");
    f.Format("%s", std::string(10000, 'z').c_str());
    EXPECT_EQ(10000, f.GetLength());
    CString joined = CString("a") + "b" + 'c' + CString("d");
    EXPECT_EQ(joined, "abcd");
    EXPECT_EQ(CString('-', 3), "---");
    EXPECT_EQ(CString("abc", 2), "ab");

    char *buffer = f.GetBuffer(20000);
    lstrcpynA(buffer, "corto", 20000);
    f.ReleaseBuffer();
    EXPECT_EQ(f, "corto");
    f.GetBuffer(10);
    f.ReleaseBuffer(2);
    EXPECT_EQ(f, "co");
}

TEST(Afx, StringListPositions)
{
    CStringList list;
    EXPECT_EQ(nullptr, list.GetHeadPosition());
    list.AddTail("b");
    list.AddTail("c");
    list.AddHead("a");
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Items(list));
    EXPECT_EQ(3, list.GetCount());
    POSITION b = list.Find("b");
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(list.GetAt(b), "b");
    EXPECT_EQ(nullptr, list.Find("b", b));
    list.RemoveAt(b);
    EXPECT_EQ((std::vector<std::string>{"a", "c"}), Items(list));
    POSITION back = list.GetTailPosition();
    EXPECT_EQ(list.GetPrev(back), "c");
    EXPECT_EQ(list.GetAt(back), "a");
    EXPECT_EQ(list.RemoveHead(), "a");
    EXPECT_EQ(list.RemoveTail(), "c");
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(nullptr, list.GetTailPosition());
    list.AddTail("");
    EXPECT_NE(nullptr, list.Find("")); // an empty text is an item like any other
    list.RemoveAll();
    EXPECT_EQ(0, list.GetCount());
}

TEST(Afx, ExceptionsAreThrownByPointerAndDeletedByTheirCatcher)
{
    try
    {
        CFileException::ThrowOsError(ERROR_FILE_NOT_FOUND, "nada.txt");
        FAIL() << "no throw";
    }
    catch (CFileException *e)
    {
        EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, e->m_lOsError);
        EXPECT_EQ(e->m_strFileName, "nada.txt");
        char text[512];
        UINT help = 99;
        EXPECT_TRUE(e->GetErrorMessage(text, sizeof text, &help));
        EXPECT_EQ(0u, help);
        EXPECT_NE('\0', text[0]);
        char tiny[4];
        EXPECT_TRUE(e->GetErrorMessage(tiny, sizeof tiny));
        e->Delete();
    }
    CFileException::ThrowOsError(0); // no error, no throw

    // One on the stack is not deleted by Delete.
    CFileException onStack(CFileException::generic, -1);
    onStack.m_bAutoDelete = FALSE;
    onStack.Delete();
    char text[16] = "x";
    EXPECT_FALSE(onStack.GetErrorMessage(text, sizeof text));
    EXPECT_STREQ("", text);
    EXPECT_EQ(CFileException::sharingViolation, CFileException::OsErrorToException(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(CFileException::generic, CFileException::OsErrorToException(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(Afx, FileModesAndFailures)
{
    {
        CFile file;
        ASSERT_TRUE(file.Open(TempFile().c_str(), CFile::modeCreate | CFile::modeWrite));
        file.Write("hola", 4);
        EXPECT_EQ(4u, file.GetLength());
    }
    {
        // Without truncation, appended after SeekToEnd.
        CFile file(TempFile().c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        EXPECT_EQ(4u, file.SeekToEnd());
        file.Write(" mundo", 6);
        file.Close();
        EXPECT_EQ(CFile::hFileNull, file.m_hFile);
        file.Close(); // a closed file is left alone
    }
    EXPECT_EQ("hola mundo", kittest::ReadHostFile(TempFile()));
    {
        CFile file(TempFile().c_str(), CFile::modeRead | CFile::shareExclusive);
        char buffer[32] = {};
        EXPECT_EQ(10u, file.Read(buffer, sizeof buffer));
        EXPECT_STREQ("hola mundo", buffer);
        file.SeekToBegin();
        EXPECT_EQ(0u, file.GetPosition());
        CFile other;
        CFileException error;
        EXPECT_FALSE(other.Open(TempFile().c_str(), CFile::modeRead, &error)); // held exclusively
        EXPECT_EQ(CFileException::sharingViolation, error.m_cause);
        try
        {
            file.Write("x", 1);
            ADD_FAILURE() << "written through a read-only handle";
        }
        catch (CFileException *e)
        {
            EXPECT_EQ(CFileException::accessDenied, e->m_cause);
            e->Delete();
        }
    }
    CFileException error;
    CFile missing;
    EXPECT_FALSE(missing.Open((kittest::MachineDir() + "/temp/no/such").c_str(), CFile::modeRead, &error));
    EXPECT_EQ(CFileException::badPath, error.m_cause);
    try
    {
        CFile thrown((kittest::MachineDir() + "/temp/nada.bin").c_str(), CFile::modeRead);
        FAIL() << "no throw";
    }
    catch (CFileException *e)
    {
        EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
        e->Delete();
    }
}
