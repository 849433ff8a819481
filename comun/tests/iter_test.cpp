// CIterador and its iterators over command-line arguments and text files.
#include "comun/ArgIter.h"
#include "comun/TxtIter.h"
#include "comun/tests/Ficheros.h"
#include "platform/wstring.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> Args(CArgIter &iter)
{
    std::vector<std::string> out;
    for (iter.MoveFirst(); !iter.IsEOF(); iter.MoveNext())
    {
        std::string arg;
        EXPECT_EQ(iter.VerArg(arg), S_OK);
        out.push_back(arg);
    }
    return out;
}

std::string Txt(const std::string &contenido)
{
    return prueba::Escribir(prueba::Carpeta("txt") + "/datos.txt", contenido);
}

std::string Field(CTxtIter &iter, LONG index)
{
    std::string value;
    EXPECT_EQ(iter.GetFieldValue(index, value), S_OK) << index;
    return value;
}

// A text iterator whose columns have names: ROJO, VERDE, AZUL.
class CColores : public CTxtIter
{
  protected:
    LONG VerIndiceCampoMayus(LPCSTR campo) override
    {
        const std::string nombre = campo;
        return nombre == "ROJO" ? 0 : nombre == "VERDE" ? 1 : nombre == "AZUL" ? 2 : -1;
    }
};
} // namespace

// The interface ------------------------------------------------------------------------------------

TEST(Iterador, BaseIsAnEmptyIteratorThatCannotMove)
{
    CIterador iter;
    EXPECT_FALSE(iter.IsOpen());
    EXPECT_TRUE(iter.IsBOF());
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.GetEditMode(), 0);
    EXPECT_FALSE(iter.CanUpdate());
    EXPECT_FALSE(iter.CanAppend());
    for (HRESULT hr : {iter.Move(1), iter.MoveFirst(), iter.MoveNext(), iter.MovePrev(), iter.AddNew(),
                       iter.Edit(), iter.Update(), iter.Delete(), iter.CancelUpdate(),
                       iter.SetFieldValue("a", "b"), iter.SetFieldValue("a", 1), iter.SetFieldValueNull("a")})
        EXPECT_EQ(hr, E_NOTIMPL);
    std::string text = "x";
    int number = 5;
    EXPECT_EQ(iter.GetFieldValue("a", text), E_NOTIMPL);
    EXPECT_EQ(text, "");
    EXPECT_EQ(iter.GetFieldValue("a", number), E_NOTIMPL);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(iter.FindFirst("a", "b", TRUE), E_NOTIMPL); // MoveFirst's error
    EXPECT_EQ(iter.FindNext("a", 1), E_FAIL);             // already at the end
    EXPECT_EQ(iter.FindFirst(nullptr, 0, 0, 0), E_INVALIDARG);
    EXPECT_EQ(iter.FindFirst("a", nullptr, TRUE), E_INVALIDARG);
    EXPECT_EQ(iter.Close(), S_FALSE);
    EXPECT_EQ(iter.VerObjeto(), "{CIterador,dbEditNone}");
}

TEST(Iterador, ModeAndOptionTexts)
{
    const std::pair<int, const char *> modes[] = {
        {0, "dbEditNone"},    {1, "dbEditInProgress"}, {2, "dbEditAdd"}, {4, "dbEditChanged"},
        {8, "dbEditDeleted"}, {16, "dbEditNew"},       {3, "3"},         {-1, "-1"}};
    for (auto [mode, text] : modes)
        EXPECT_EQ(CIterador::VerTextoEditMode(mode), text);
    const std::pair<long, const char *> options[] = {
        {4, "dbReadOnly"}, {8, "|dbAppendOnly"}, {12, "dbReadOnly|dbAppendOnly"}, {0, "0"}, {5, "5"},
        {-4, "-4"}};
    for (auto [option, text] : options)
        EXPECT_EQ(CIterador::VerTextoOpciones(option), text);
}

// Command-line arguments ---------------------------------------------------------------------------

TEST(ArgIter, SplitsCommandLines)
{
    struct Case
    {
        const char *line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"setup /s \"C:\\Archivos de programa\\Kit\"", {"setup", "/s", "C:\\Archivos de programa\\Kit"}},
        {"", {}},
        {"   \t ", {}},
        {"a   b\tc", {"a", "b", "c"}},
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"a\"\"b", {"ab"}},
        {"\"a b\"c d", {"a bc", "d"}},
        {"di \\\"hola\\\"", {"di", "\"hola\""}},
        {"C:\\dir\\ x\\y", {"C:\\dir\\", "x\\y"}},
        {"\"con \\\" dentro\"", {"con \" dentro"}},
        {"ñandú 1€", {"ñandú", "1€"}},
    };
    for (const Case &c : cases)
    {
        SCOPED_TRACE(c.line);
        CArgIter iter;
        ASSERT_EQ(iter.Open(c.line), S_OK);
        EXPECT_TRUE(iter.IsOpen());
        EXPECT_EQ(iter.VerArgc(), static_cast<int>(c.args.size()));
        EXPECT_EQ(Args(iter), c.args);
    }
    CArgIter iter;
    EXPECT_EQ(iter.Open(static_cast<LPCSTR>(nullptr)), S_OK);
    EXPECT_EQ(iter.VerArgc(), 0);
    EXPECT_TRUE(iter.IsEOF());
}

TEST(ArgIter, OpenQuotesAreRefused)
{
    for (const char *line : {"setup \"C:\\Archivos de programa", "\"", "a \\\"\" b", "x \"y\" \"z"})
    {
        SCOPED_TRACE(line);
        CArgIter iter;
        ASSERT_EQ(iter.Open("antes"), S_OK);
        EXPECT_EQ(iter.Open(line), E_INVALIDARG);
        EXPECT_EQ(iter.VerArgc(), 0);
        EXPECT_FALSE(iter.IsOpen());
        EXPECT_TRUE(iter.IsEOF());
        EXPECT_EQ(iter[0], nullptr);
    }
}

TEST(ArgIter, SafeQuotingGivesTheTextBack)
{
    EXPECT_EQ(CArgIter::VerArgSeguro("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(CArgIter::VerArgSeguro("C:\\Archivos de programa"), "\"C:\\Archivos de programa\"");
    EXPECT_EQ(CArgIter::VerArgSeguro(""), "\"\"");
    EXPECT_EQ(CArgIter::VerArgSeguro(nullptr), "\"\"");
    for (const char *text : {"", "a b", "a\"b", "\"", "abc\\", "\\\\", "C:\\dir\\", "x\\\"y", "ab\"\\",
                             "tab\there", "ñandú €", " lead", "a\\\\\"\"b"})
    {
        SCOPED_TRACE(text);
        CArgIter iter;
        ASSERT_EQ(iter.Open(CArgIter::VerArgSeguro(text).c_str()), S_OK);
        ASSERT_EQ(iter.VerArgc(), 1);
        std::string back;
        EXPECT_EQ(iter.VerArg(back), S_OK);
        EXPECT_EQ(back, text);
    }
}

TEST(ArgIter, ArgumentArrays)
{
    const char *narrow[] = {"uno", "dos", "ñu"};
    CArgIter iter;
    ASSERT_EQ(iter.Open(3, narrow), S_OK);
    EXPECT_EQ(iter.VerArgc(), 3);
    EXPECT_EQ(WString(iter[2]), OLESTR("ñu"));
    EXPECT_NE(iter.VerArgv(), nullptr);
    EXPECT_EQ(Args(iter), (std::vector<std::string>{"uno", "dos", "ñu"}));

    const WCHAR *wide[] = {OLESTR("a"), OLESTR("b")};
    ASSERT_EQ(iter.Open(2, wide), S_OK);
    EXPECT_EQ(iter.VerArgv(), wide); // borrowed
    EXPECT_EQ(iter[1], wide[1]);
    EXPECT_EQ(Args(iter), (std::vector<std::string>{"a", "b"}));

    EXPECT_EQ(iter.Open(-1, narrow), E_INVALIDARG);
    EXPECT_EQ(iter.Open(2, static_cast<const char *const *>(nullptr)), E_INVALIDARG);
    EXPECT_EQ(iter.Open(2, static_cast<const WCHAR *const *>(nullptr)), E_INVALIDARG);
    EXPECT_EQ(iter.Open(-3, wide), E_INVALIDARG);
    EXPECT_FALSE(iter.IsOpen());
    EXPECT_EQ(iter.Open(0, static_cast<const char *const *>(nullptr)), S_OK);
    EXPECT_TRUE(iter.IsEOF());
}

TEST(ArgIter, NavigationAndNumbers)
{
    CArgIter iter;
    ASSERT_EQ(iter.Open("42 -7x x7 99999999999 \" 12\" 3.5 .5 1e3 1e999 abc"), S_OK);
    struct Expect
    {
        HRESULT hrLong;
        LONG value;
        HRESULT hrDouble;
        double real;
    };
    const Expect expected[] = {
        {S_OK, 42, S_OK, 42},
        {S_OK, -7, S_OK, -7},
        {E_INVALIDARG, 0, E_INVALIDARG, 0},
        {E_INVALIDARG, 0, S_OK, 99999999999.0},
        {S_OK, 12, S_OK, 12},
        {S_OK, 3, S_OK, 3.5},
        {E_INVALIDARG, 0, S_OK, 0.5},
        {S_OK, 1, S_OK, 1000},
        {S_OK, 1, E_INVALIDARG, 0},
        {E_INVALIDARG, 0, E_INVALIDARG, 0},
    };
    for (const Expect &e : expected)
    {
        SCOPED_TRACE(&e - expected);
        ASSERT_FALSE(iter.IsEOF());
        LONG value = 99;
        double real = 99;
        EXPECT_EQ(iter.VerArg(value), e.hrLong);
        EXPECT_EQ(value, e.value);
        EXPECT_EQ(iter.VerArg(real), e.hrDouble);
        EXPECT_DOUBLE_EQ(real, e.real);
        EXPECT_EQ(iter.MoveNext(), S_OK);
    }
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.MoveNext(), E_FAIL);
    std::string arg = "x";
    EXPECT_EQ(iter.VerArg(arg), E_FAIL);
    EXPECT_EQ(arg, "");
    EXPECT_EQ(iter[-1], nullptr);
    EXPECT_EQ(iter[10], nullptr);
    EXPECT_EQ(iter.MoveFirst(), S_OK);
    EXPECT_EQ(iter.VerArg(arg), S_OK);
    EXPECT_EQ(arg, "42");

    EXPECT_EQ(iter.Close(), S_OK);
    EXPECT_FALSE(iter.IsOpen());
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.VerArgc(), 0);
    EXPECT_EQ(iter.VerArgv(), nullptr);
    EXPECT_EQ(iter.MoveFirst(), E_FAIL);
    EXPECT_EQ(iter.MoveNext(), E_FAIL);
    LONG value = 5;
    EXPECT_EQ(iter.VerArg(value), E_FAIL);
    EXPECT_EQ(iter.Close(), S_OK);
}

TEST(ArgIter, FindWithACriterion)
{
    auto esBarraS = [](CIterador *it, LONG_PTR, LONG_PTR, LONG_PTR) -> HRESULT {
        std::string arg;
        static_cast<CArgIter *>(it)->VerArg(arg);
        return arg == "/s" ? S_OK : S_FALSE;
    };
    CArgIter iter;
    ASSERT_EQ(iter.Open("a /s b /s c"), S_OK);
    EXPECT_EQ(iter.FindFirst(esBarraS, 0, 0, 0), S_OK);
    EXPECT_EQ(iter[1], WStringView(OLESTR("/s")));
    std::string arg;
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(iter.FindNext(esBarraS, 0, 0, 0), S_OK);
    iter.VerArg(arg);
    EXPECT_EQ(arg, "/s");
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(iter.FindNext(esBarraS, 0, 0, 0), S_FALSE); // none left
    EXPECT_EQ(iter.FindNext(esBarraS, 0, 0, 0), E_FAIL);  // already at the end

    auto falla = [](CIterador *, LONG_PTR, LONG_PTR, LONG_PTR) -> HRESULT { return E_ABORT; };
    EXPECT_EQ(iter.FindFirst(falla, 0, 0, 0), E_ABORT);
    ASSERT_EQ(iter.Open(""), S_OK);
    EXPECT_EQ(iter.FindFirst(esBarraS, 0, 0, 0), S_FALSE); // empty
}

// Text files ---------------------------------------------------------------------------------------

TEST(TxtIter, FieldsOfLines)
{
    CTxtIter iter;
    ASSERT_EQ(iter.Open(' ', Txt("255 0 128\n").c_str(), CTxtIter::modoSoloLectura), S_OK);
    LONG number = 0;
    EXPECT_EQ(iter.GetFieldValue(0, number), S_OK);
    EXPECT_EQ(number, 255);
    EXPECT_EQ(iter.GetFieldValue(2, number), S_OK);
    EXPECT_EQ(number, 128);
    std::string text = "x";
    EXPECT_EQ(iter.GetFieldValue(3, text), E_FAIL);
    EXPECT_EQ(text, "");
    EXPECT_EQ(iter.GetFieldValue(-1, text), E_INVALIDARG);
    EXPECT_EQ(iter.MoveNext(), E_FAIL);
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.GetFieldValue(LONG{0}, text), E_FAIL);

    ASSERT_EQ(iter.Open(',', Txt(",a,,b c\r\n\nnúmero, 12,12abc,abc,99999999999,-3\r\n").c_str(), 4), S_OK);
    EXPECT_EQ(Field(iter, 0), "");
    EXPECT_EQ(Field(iter, 1), "a");
    EXPECT_EQ(Field(iter, 2), "");
    EXPECT_EQ(Field(iter, 3), "b c"); // CR LF is one line break
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(Field(iter, 0), ""); // an empty line is a line
    EXPECT_EQ(iter.GetFieldValue(0, number), E_FAIL);
    ASSERT_EQ(iter.MoveNext(), S_OK);
    const std::pair<HRESULT, LONG> numbers[] = {{E_FAIL, 0}, {S_OK, 12},  {S_OK, 12},
                                                {E_FAIL, 0}, {E_FAIL, 0}, {S_OK, -3}};
    for (LONG i = 0; i < 6; ++i)
    {
        number = 77;
        EXPECT_EQ(iter.GetFieldValue(i, number), numbers[i].first) << i;
        EXPECT_EQ(number, numbers[i].second) << i;
    }
}

TEST(TxtIter, CommentsMovesAndTheEnd)
{
    CTxtIter iter;
    ASSERT_EQ(iter.Open(' ', Txt("# cabecera\n1 uno\n# medio\n#\n2 dos\n3 tres\n# final").c_str(), 4), S_OK);
    EXPECT_EQ(Field(iter, 1), "uno"); // the comment before the first line is skipped
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(Field(iter, 1), "dos"); // comment lines between data lines are never seen
    EXPECT_EQ(iter.Move(0), S_OK);
    EXPECT_EQ(Field(iter, 1), "dos");
    EXPECT_EQ(iter.Move(-1), E_NOTIMPL);
    EXPECT_EQ(iter.MoveFirst(), S_OK);
    EXPECT_EQ(iter.Move(2), S_OK);
    EXPECT_EQ(Field(iter, 1), "tres");
    EXPECT_EQ(iter.Move(1), E_FAIL); // only a comment is left
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.Move(1), E_FAIL);
    EXPECT_EQ(iter.MoveFirst(), S_OK);
    EXPECT_FALSE(iter.IsEOF());
    EXPECT_EQ(iter.Move(5), E_FAIL);
    EXPECT_TRUE(iter.IsEOF());

    // Ctrl-Z ends the text, as in the C library's text mode.
    ASSERT_EQ(iter.Open(' ',
                        Txt("a\n\x1A"
                            "b\n")
                            .c_str(),
                        4),
              S_OK);
    EXPECT_EQ(Field(iter, 0), "a");
    EXPECT_EQ(iter.MoveNext(), E_FAIL);

    for (const char *content : {"", "# nada\n# más"})
    {
        ASSERT_EQ(iter.Open(' ', Txt(content).c_str(), 4), S_OK);
        EXPECT_TRUE(iter.IsOpen());
        EXPECT_TRUE(iter.IsEOF());
        EXPECT_EQ(iter.MoveNext(), E_FAIL);
    }
}

TEST(TxtIter, LongLinesAndLinesWithoutABreak)
{
    const std::string exact(2047, 'e'); // what the line buffer holds
    const std::string tail = std::string(2047, 'x') + "#no es un comentario";
    CTxtIter iter;
    ASSERT_EQ(iter.Open(',',
                        Txt("a,b," + std::string(3000, 'x') + "\n" + exact + "\n" + exact + "\r\n" + exact +
                            "f\n" + tail + "\n#" + std::string(5000, 'c') + "\nfin,1 2 3")
                            .c_str(),
                        4),
              S_OK);
    std::string text;
    EXPECT_EQ(Field(iter, 0), "a"); // fields before the cut read as they are
    EXPECT_EQ(Field(iter, 1), "b");
    EXPECT_EQ(iter.GetFieldValue(2, text), S_FALSE); // the field that lost its end says so
    EXPECT_EQ(text, std::string(2043, 'x'));
    EXPECT_EQ(iter.GetFieldValue(3, text), E_FAIL);
    LONG number = 5;
    EXPECT_EQ(iter.GetFieldValue(2, number), E_FAIL);
    EXPECT_EQ(number, 0);
    ASSERT_EQ(iter.MoveNext(), S_OK); // the rest of a long line never becomes a line
    EXPECT_EQ(Field(iter, 0), exact);
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(Field(iter, 0), exact); // CR LF is the line break, not part of the line
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(iter.GetFieldValue(LONG{0}, text), S_FALSE); // one character too many
    EXPECT_EQ(text, exact);
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(iter.GetFieldValue(LONG{0}, text), S_FALSE); // a '#' past the cut starts no comment
    EXPECT_EQ(text, std::string(2047, 'x'));
    ASSERT_EQ(iter.MoveNext(), S_OK); // and a long comment is one comment
    EXPECT_EQ(Field(iter, 0), "fin");
    EXPECT_EQ(Field(iter, 1), "1 2 3"); // the last line keeps its last character
    EXPECT_EQ(iter.MoveNext(), E_FAIL);

    // A file of one endless line without a break: read through, one line.
    ASSERT_EQ(iter.Open(' ', Txt("1 2 " + std::string(1 << 20, '3')).c_str(), 4), S_OK);
    EXPECT_EQ(Field(iter, 1), "2");
    EXPECT_EQ(iter.GetFieldValue(2, number), E_FAIL); // a number cut short is no number
    EXPECT_EQ(iter.MoveNext(), E_FAIL);
    EXPECT_TRUE(iter.IsEOF());
    // Back to the start, the cut line is read the same way.
    EXPECT_EQ(iter.MoveFirst(), S_OK);
    EXPECT_EQ(Field(iter, 0), "1");
    EXPECT_EQ(iter.GetFieldValue(2, text), S_FALSE);
    EXPECT_EQ(text.size(), 2043u);
}

TEST(TxtIter, OpenArgumentsAndClosedObjects)
{
    const std::string path = Txt("a b\n");
    CTxtIter iter;
    EXPECT_EQ(iter.Open('\0', path.c_str(), 4), E_INVALIDARG);
    EXPECT_EQ(iter.Open(' ', "", 4), E_INVALIDARG);
    EXPECT_EQ(iter.Open(' ', nullptr, 4), E_INVALIDARG);
    EXPECT_EQ(iter.Open(' ', path.c_str(), 0), E_NOTIMPL);
    EXPECT_EQ(iter.Open(' ', path.c_str(), 2), E_INVALIDARG);
    EXPECT_EQ(iter.Open(' ', path.c_str(), 8), E_INVALIDARG);
    EXPECT_EQ(iter.Open(' ', (path + ".no").c_str(), 4), E_FAIL);
    EXPECT_FALSE(iter.IsOpen());
    EXPECT_EQ(iter.Move(-1), E_FAIL);                                     // closed before anything else
    EXPECT_EQ(iter.Open(' ', prueba::Carpeta("txt").c_str(), 4), E_FAIL); // a folder is no file
    EXPECT_FALSE(iter.IsOpen());
    EXPECT_TRUE(iter.IsEOF());
    EXPECT_EQ(iter.MoveFirst(), E_FAIL);
    EXPECT_EQ(iter.MoveNext(), E_FAIL);
    EXPECT_EQ(iter.Move(1), E_FAIL);
    std::string text;
    LONG number = 0;
    EXPECT_EQ(iter.GetFieldValue(LONG{0}, text), E_FAIL);
    EXPECT_EQ(iter.GetFieldValue(0, number), E_FAIL);
    EXPECT_EQ(iter.GetFieldValue(-1, text), E_FAIL);
    EXPECT_EQ(iter.Close(), S_OK);

    // The file stays readable and writable by others while open.
    ASSERT_EQ(iter.Open(' ', path.c_str(), 4), S_OK);
    HANDLE writer =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
    // Fields have no names here.
    EXPECT_EQ(iter.GetFieldValue("a", text), E_INVALIDARG);
    int value = 0;
    EXPECT_EQ(iter.GetFieldValue(static_cast<LPCSTR>(nullptr), value), E_INVALIDARG);
}

TEST(TxtIter, NamedColumnsAndSearches)
{
    CColores iter;
    ASSERT_EQ(iter.Open(' ', Txt("255 0 0\n0 255 0\n0 0 255\n0 0 0\n").c_str(), 4), S_OK);
    int value = 0;
    EXPECT_EQ(iter.GetFieldValue("verde", value), S_OK); // names without case
    EXPECT_EQ(value, 0);
    std::string text;
    EXPECT_EQ(iter.GetFieldValue("Rojo", text), S_OK);
    EXPECT_EQ(text, "255");
    EXPECT_EQ(iter.GetFieldValue("negro", text), E_INVALIDARG);

    EXPECT_EQ(iter.FindFirst("azul", "255", TRUE), S_OK);
    EXPECT_EQ(iter.GetFieldValue("AZUL", value), S_OK);
    EXPECT_EQ(value, 255);
    EXPECT_EQ(iter.FindFirst("verde", 1), S_OK); // non-zero matches non-zero
    EXPECT_EQ(iter.GetFieldValue(1, text), S_OK);
    EXPECT_EQ(text, "255");
    ASSERT_EQ(iter.MoveNext(), S_OK);
    EXPECT_EQ(iter.FindNext("verde", 7), S_FALSE); // no other green
    EXPECT_EQ(iter.FindNext("verde", 7), E_FAIL);
    EXPECT_EQ(iter.FindFirst("rojo", "0", FALSE), S_OK);
    EXPECT_EQ(iter.GetFieldValue(1, text), S_OK);
    EXPECT_EQ(text, "255");                                       // the second line
    EXPECT_EQ(iter.FindFirst("negro", "0", FALSE), E_INVALIDARG); // the field's error stops the search
}

TEST(TxtIter, SearchWithoutCase)
{
    CColores iter;
    ASSERT_EQ(iter.Open(';', Txt("Ñandú;x\nÑANDÚ;y\n").c_str(), 4), S_OK);
    EXPECT_EQ(iter.FindFirst("rojo", "ÑANDÚ", TRUE), S_OK);
    std::string second;
    EXPECT_EQ(iter.GetFieldValue(1, second), S_OK);
    EXPECT_EQ(second, "y");
    EXPECT_EQ(iter.FindFirst("rojo", "ñandú", FALSE), S_OK);
    iter.GetFieldValue(1, second);
    EXPECT_EQ(second, "x");
}
