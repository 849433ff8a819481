// The open-file dialog: what the provider is asked, what the caller gets back, and the checks
// the dialog makes before it closes.
#include "platform/kit/kitwindow.h"
#include "platform/windows.h"
#include "testing/kittest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace
{
// A user at the dialog: answers in turn (an empty path cancels), every request kept.
struct Usuario
{
    std::deque<std::string> rutas;
    size_t filtro = 0;
    std::vector<kitwin::OpenFileRequest> pedidos;
};

bool Responder(void *context, const kitwin::OpenFileRequest &request, std::string &path, size_t &filter)
{
    auto &u = *static_cast<Usuario *>(context);
    u.pedidos.push_back(request);
    if (u.rutas.empty())
        return false;
    path = u.rutas.front();
    u.rutas.pop_front();
    filter = u.filtro;
    return !path.empty();
}

// The warning boxes the dialog shows.
std::vector<std::string> g_avisos;

int Aviso(void *, HWND, const char *text, const char *caption, UINT type)
{
    g_avisos.push_back(std::string(caption) + "|" + text + "|" + std::to_string(type));
    return IDOK;
}

constexpr char kFiltro[] = "Ficheros de firmware (*.bin)\0*.bin\0Todos (*.*)\0*.*\0";
constexpr char kGuarda = '\x5a';

class FileDlg : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        kitwin::SetOpenFileProvider(Responder, &usuario);
        kitwin::SetMessageBoxProvider(Aviso, nullptr);
        g_avisos.clear();
        std::memset(buffer, kGuarda, sizeof buffer);
        buffer[0] = '\0';
        ofn.lStructSize = sizeof ofn;
        ofn.lpstrFilter = kFiltro;
        ofn.lpstrFile = buffer;
        ofn.nMaxFile = kMax;
        ofn.Flags = OFN_HIDEREADONLY;
    }
    void TearDown() override
    {
        kitwin::SetOpenFileProvider(nullptr, nullptr);
        kitwin::SetMessageBoxProvider(nullptr, nullptr);
    }
    std::string Pc(const std::string &relativa) const { return kittest::MachineDir() + "/" + relativa; }
    // The bytes past the buffer the caller gave are never written.
    bool GuardaIntacta() const
    {
        for (size_t i = kMax; i < sizeof buffer; ++i)
            if (buffer[i] != kGuarda)
                return false;
        return true;
    }

    static constexpr DWORD kMax = 64;
    Usuario usuario;
    OPENFILENAMEA ofn{};
    char buffer[kMax + 16];
};
} // namespace

TEST_F(FileDlg, WithoutAProviderItIsACancelledDialog)
{
    kitwin::SetOpenFileProvider(nullptr, nullptr);
    std::strcpy(buffer, "ras.bin");
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(buffer, "ras.bin");
}

TEST_F(FileDlg, TheProviderIsAskedWhatTheCallerSetAndItsChoiceComesBack)
{
    kittest::WriteHostFile(Pc("temp/ras.bin"), "firmware");
    usuario.rutas = {Pc("temp/ras.bin")};
    usuario.filtro = 1;
    std::strcpy(buffer, "viejo.bin");
    char titulo[32];
    std::memset(titulo, kGuarda, sizeof titulo);
    ofn.lpstrFileTitle = titulo;
    ofn.nMaxFileTitle = sizeof titulo;
    ofn.lpstrTitle = "Elija el firmware";
    ofn.lpstrInitialDir = "C:\\firmware";
    ofn.nFilterIndex = 2;
    ofn.Flags |= OFN_FILEMUSTEXIST;

    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    ASSERT_EQ(usuario.pedidos.size(), 1u);
    const kitwin::OpenFileRequest &pedido = usuario.pedidos[0];
    EXPECT_EQ(pedido.title, "Elija el firmware");
    const std::vector<std::pair<std::string, std::string>> filtros = {
        {"Ficheros de firmware (*.bin)", "*.bin"}, {"Todos (*.*)", "*.*"}};
    EXPECT_EQ(pedido.filters, filtros);
    EXPECT_EQ(pedido.filter, 1u);
    EXPECT_EQ(pedido.folder, "C:\\firmware");
    EXPECT_EQ(pedido.name, "viejo.bin");
    EXPECT_EQ(pedido.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_FILEMUSTEXIST));

    const std::string ruta = Pc("temp/ras.bin");
    EXPECT_EQ(std::string(buffer), ruta);
    EXPECT_EQ(ofn.nFileOffset, ruta.size() - 7);
    EXPECT_EQ(ofn.nFileExtension, ruta.size() - 3);
    EXPECT_STREQ(titulo, "ras.bin");
    EXPECT_EQ(ofn.nFilterIndex, 2u);
    EXPECT_TRUE(GuardaIntacta());
    EXPECT_TRUE(g_avisos.empty());
}

TEST_F(FileDlg, ACancelGivesNoErrorAndLeavesTheBuffer)
{
    std::strcpy(buffer, "ras.bin");
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu);
    EXPECT_STREQ(buffer, "ras.bin");
    EXPECT_EQ(usuario.pedidos.size(), 1u);
}

TEST_F(FileDlg, APathLongerThanTheBufferGivesTheSizeNeededInItsFirstTwoBytes)
{
    const std::string ruta = "/" + std::string(kMax, 'a') + "/ras.bin";
    usuario.rutas = {ruta};
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    WORD necesario = 0;
    std::memcpy(&necesario, buffer, sizeof necesario);
    EXPECT_EQ(necesario, ruta.size() + 1);
    EXPECT_TRUE(GuardaIntacta());

    // Exactly the size with its terminating zero fits.
    usuario.rutas = {"/" + std::string(kMax - 2, 'b')};
    EXPECT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(std::strlen(buffer), kMax - 1);
    EXPECT_TRUE(GuardaIntacta());
    // The error is the thread's last dialog's.
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(FileDlg, TheCallersStructureIsCheckedBeforeAnythingIsShown)
{
    struct Caso
    {
        const char *nombre;
        void (*cambiar)(OPENFILENAMEA &);
        DWORD error;
    };
    const Caso casos[] = {
        {"size 0", [](OPENFILENAMEA &o) { o.lStructSize = 0; }, CDERR_STRUCTSIZE},
        {"size + 1", [](OPENFILENAMEA &o) { o.lStructSize = sizeof o + 1; }, CDERR_STRUCTSIZE},
        {"no buffer", [](OPENFILENAMEA &o) { o.lpstrFile = nullptr; }, CDERR_INITIALIZATION},
        {"empty buffer", [](OPENFILENAMEA &o) { o.nMaxFile = 0; }, CDERR_INITIALIZATION},
        {"hook", [](OPENFILENAMEA &o) { o.Flags |= OFN_ENABLEHOOK; }, CDERR_DIALOGFAILURE},
        {"multiselect", [](OPENFILENAMEA &o) { o.Flags |= OFN_ALLOWMULTISELECT; }, CDERR_DIALOGFAILURE},
        {"owner", [](OPENFILENAMEA &o) { o.hwndOwner = reinterpret_cast<HWND>(0x12344); },
         CDERR_DIALOGFAILURE},
    };
    for (const Caso &c : casos)
    {
        OPENFILENAMEA o = ofn;
        c.cambiar(o);
        EXPECT_FALSE(GetOpenFileNameA(&o)) << c.nombre;
        EXPECT_EQ(CommDlgExtendedError(), c.error) << c.nombre;
    }
    EXPECT_FALSE(GetOpenFileNameA(nullptr));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    SetLastError(0xdeadbeef);
    OPENFILENAMEA o = ofn;
    o.Flags |= OFN_ENABLETEMPLATE;
    EXPECT_FALSE(GetOpenFileNameA(&o));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_TRUE(usuario.pedidos.empty());

    // A program built for Windows before 2000 fills the shorter structure.
    usuario.rutas = {"/tmp/x.bin"};
    o = ofn;
    o.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    EXPECT_TRUE(GetOpenFileNameA(&o));
}

TEST_F(FileDlg, AMissingFileOrFolderIsWarnedAboutAndTheDialogComesBack)
{
    kittest::WriteHostFile(Pc("temp/ras.bin"), "firmware");
    const std::string falta = Pc("temp/otro.bin"), sinCarpeta = Pc("nada/ras.bin");
    usuario.rutas = {falta, sinCarpeta, Pc("temp"), Pc("temp/ras.bin")};
    ofn.Flags |= OFN_FILEMUSTEXIST;
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(std::string(buffer), Pc("temp/ras.bin"));
    ASSERT_EQ(g_avisos.size(), 3u);
    const std::string tipo = "|" + std::to_string(MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(g_avisos[0],
              "Abrir|" + falta +
                  "\nNo se encuentra el archivo.\nCompruebe que el nombre del archivo es correcto." + tipo);
    EXPECT_EQ(g_avisos[1], "Abrir|" + sinCarpeta +
                               "\nLa ruta de acceso no existe.\nCompruebe que la ruta es correcta." + tipo);
    // A folder is no file.
    EXPECT_NE(g_avisos[2].find("No se encuentra el archivo."), std::string::npos);
    // The dialog comes back with the name refused.
    ASSERT_EQ(usuario.pedidos.size(), 4u);
    EXPECT_EQ(usuario.pedidos[1].name, falta);

    // Without the flags the dialog takes what the user chose, a folder too.
    g_avisos.clear();
    usuario.rutas = {Pc("temp")};
    ofn.Flags = OFN_HIDEREADONLY;
    EXPECT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(std::string(buffer), Pc("temp"));
    EXPECT_TRUE(g_avisos.empty());
}

TEST_F(FileDlg, TheDefaultExtensionCompletesANameWithoutOne)
{
    ofn.lpstrDefExt = "bin";
    usuario.rutas = {"/tmp/ras", "/tmp/ras.BIN", "/tmp/ras.img", "/tmp/ras."};
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_STREQ(buffer, "/tmp/ras.bin");
    EXPECT_EQ(ofn.nFileExtension, 9u);
    EXPECT_FALSE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_FALSE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_TRUE(ofn.Flags & OFN_EXTENSIONDIFFERENT);
    // A name ending in its dot has an empty extension, at offset 0.
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_STREQ(buffer, "/tmp/ras.");
    EXPECT_EQ(ofn.nFileExtension, 0u);

    ofn.lpstrDefExt = nullptr;
    usuario.rutas = {"/tmp/ras"};
    ASSERT_TRUE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(ofn.nFileExtension, 8u); // the terminating zero
    EXPECT_EQ(ofn.nFileOffset, 5u);
}
