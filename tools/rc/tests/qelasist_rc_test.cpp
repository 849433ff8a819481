// The wizard's resource script: its 23 page templates and the texts the wizard shows, as our
// compiler builds them and as MinGW's windres reads the same script.
#include "tools/rc/RcCompiler.h"

#include "platform/windows.h"
#include "wizard/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
constexpr std::uint16_t kRtDialog = 5, kRtString = 6;
// The window, control and dialog style bits the templates use.
constexpr std::uint32_t kWsChild = 0x40000000, kWsDisabled = 0x08000000, kWsCaption = 0x00C00000,
                        kWsBorder = 0x00800000, kWsVScroll = 0x00200000, kWsGroup = 0x00020000,
                        kWsTabStop = 0x00010000, kDsSetFont = 0x40;
constexpr std::uint32_t kBsAutoRadio = 0x9, kEsPassword = 0x20, kSsIcon = 0x3, kCbsSimple = 0x1,
                        kCbsDropDownList = 0x3, kLvsReport = 0x1, kLvsSingleSel = 0x4,
                        kLvsShowSelAlways = 0x8;
constexpr std::uint32_t kPageStyle = kDsSetFont | kWsChild | kWsDisabled | kWsCaption;
constexpr int kMargin = 7, kPageWidth = 260, kPageHeight = 150;
// A drop-down list's template height includes its list; closed, it is one field high.
constexpr int kClosedComboHeight = 14;

constexpr int kPages[] = {
    IDD_BIENVENIDA,   IDD_OPERACION,    IDD_MODOCONF, IDD_MODODIREC,    IDD_DETECCION,   IDD_ESTADOPC,
    IDD_DATOS,        IDD_IPGESTION,    IDD_DATOS2,   IDD_DATOSFIRM,    IDD_MULTIPUESTO, IDD_RESUMENDATOS,
    IDD_CONECTIVIDAD, IDD_CABLE,        IDD_CONSOLA,  IDD_ACCESOPUERTO, IDD_MANUAL,      IDD_CHANGEFIRM,
    IDD_PUERTOS,      IDD_CONFIGURANDO, IDD_FINERROR, IDD_FINOK,        IDD_PASSWORD};

const kitrc::Compiled &Script()
{
    static const kitrc::Compiled compiled = kitrc::CompileRc(KIT_QELASIST_RC);
    return compiled;
}

const kitrc::Resource *Find(const std::vector<kitrc::Resource> &resources, std::uint16_t type,
                            std::uint16_t name)
{
    for (const kitrc::Resource &r : resources)
        if (r.type.text.empty() && r.type.ordinal == type && r.name.text.empty() && r.name.ordinal == name)
            return &r;
    return nullptr;
}

kitrc::Dialog Page(int id)
{
    const kitrc::Resource *resource = Find(Script().resources, kRtDialog, static_cast<std::uint16_t>(id));
    if (!resource)
        throw std::runtime_error("no dialog " + std::to_string(id));
    auto dialog = kitrc::ReadDialog(resource->data.data(), resource->data.size());
    if (!dialog)
        throw std::runtime_error("dialog " + std::to_string(id) + " does not read back");
    return *dialog;
}

const kitrc::DialogItem *Item(const kitrc::Dialog &dialog, std::uint32_t id)
{
    for (const kitrc::DialogItem &item : dialog.items)
        if (item.id == id)
            return &item;
    return nullptr;
}

std::string Ansi(const std::u16string &text)
{
    if (text.empty())
        return {};
    std::string bytes(text.size() * 2, '\0');
    BOOL usedDefault = FALSE;
    const int n =
        WideCharToMultiByte(1252, 0, reinterpret_cast<LPCWSTR>(text.data()), static_cast<int>(text.size()),
                            bytes.data(), static_cast<int>(bytes.size()), nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return "<not Windows 1252>";
    bytes.resize(static_cast<size_t>(n));
    return bytes;
}

std::string StringBytes(unsigned id)
{
    const kitrc::Resource *block =
        Find(Script().resources, kRtString, static_cast<std::uint16_t>(id / 16 + 1));
    if (!block)
        return "<no block>";
    auto text = kitrc::ReadStringBlock(block->data.data(), block->data.size(), id % 16);
    return text ? Ansi(*text) : "<cut>";
}

int VisibleHeight(const kitrc::DialogItem &item)
{
    const bool dropDown = item.className == u"ComboBox" && (item.style & 0x3) != kCbsSimple;
    return dropDown ? std::min<int>(item.cy, kClosedComboHeight) : item.cy;
}

bool Overlap(const kitrc::DialogItem &a, const kitrc::DialogItem &b)
{
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + VisibleHeight(b) &&
           b.y < a.y + VisibleHeight(a);
}

std::string Describe(int page, const kitrc::DialogItem &item)
{
    return "dialog " + std::to_string(page) + " item " + std::to_string(static_cast<std::int32_t>(item.id));
}
} // namespace

TEST(QelAsistScript, HoldsTheTwentyThreePageTemplates)
{
    std::set<std::uint16_t> dialogs;
    for (const kitrc::Resource &r : Script().resources)
        if (r.type.text.empty() && r.type.ordinal == kRtDialog)
            dialogs.insert(r.name.ordinal);
    EXPECT_EQ(dialogs, std::set<std::uint16_t>(std::begin(kPages), std::end(kPages)));
    for (int id : kPages)
    {
        const kitrc::Dialog page = Page(id);
        EXPECT_EQ(page.style, kPageStyle) << id;
        EXPECT_EQ(page.x, 0) << id;
        EXPECT_EQ(page.y, 0) << id;
        EXPECT_EQ(page.cx, kPageWidth) << id;
        EXPECT_EQ(page.cy, kPageHeight) << id;
        EXPECT_EQ(page.pointSize, 8) << id;
        EXPECT_EQ(page.typeface, u"MS Sans Serif") << id;
        EXPECT_FALSE(page.caption.empty()) << id;
        EXPECT_FALSE(page.items.empty()) << id;
    }
}

TEST(QelAsistScript, ItemsFitTheirPageAndDoNotOverlap)
{
    for (int id : kPages)
    {
        const kitrc::Dialog page = Page(id);
        std::set<std::uint32_t> ids;
        for (size_t i = 0; i < page.items.size(); ++i)
        {
            const kitrc::DialogItem &item = page.items[i];
            EXPECT_GE(item.x, kMargin) << Describe(id, item);
            EXPECT_GE(item.y, kMargin) << Describe(id, item);
            EXPECT_LE(item.x + item.cx, kPageWidth - kMargin) << Describe(id, item);
            EXPECT_LE(item.y + item.cy, kPageHeight - kMargin) << Describe(id, item);
            EXPECT_GT(item.cx, 0) << Describe(id, item);
            EXPECT_GT(item.cy, 0) << Describe(id, item);
            EXPECT_TRUE(item.style & kWsChild) << Describe(id, item);
            if (item.id != static_cast<std::uint32_t>(-1))
            {
                EXPECT_TRUE(ids.insert(item.id).second) << Describe(id, item) << " twice";
            }
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(Overlap(item, page.items[j]))
                    << Describe(id, item) << " on " << Describe(id, page.items[j]);
        }
    }
}

TEST(QelAsistScript, PagesHaveTheControlsTheirCodeReaches)
{
    struct Case
    {
        int page;
        std::uint32_t id;
        const char16_t *className;
        std::uint32_t style; // bits that must be set
    };
    constexpr std::uint32_t kDropList = kCbsDropDownList | kWsVScroll | kWsTabStop;
    constexpr std::uint32_t kList = kLvsReport | kLvsSingleSel | kLvsShowSelAlways | kWsBorder | kWsTabStop;
    const Case cases[] = {
        {IDD_OPERACION, IDC_OPERACION_CONFIGURAR, u"Button", kBsAutoRadio | kWsGroup | kWsTabStop},
        {IDD_OPERACION, IDC_OPERACION_FIRMWARE, u"Button", kBsAutoRadio},
        {IDD_MODOCONF, IDC_MODOCONF_MONOPUESTO, u"Button", kBsAutoRadio | kWsGroup | kWsTabStop},
        {IDD_MODOCONF, IDC_MODOCONF_MULTIPUESTO, u"Button", kBsAutoRadio},
        {IDD_MODODIREC, IDC_MODODIREC_ESTATICO, u"Button", kBsAutoRadio | kWsGroup | kWsTabStop},
        {IDD_MODODIREC, IDC_MODODIREC_DINAMICO, u"Button", kBsAutoRadio},
        {IDD_DETECCION, IDC_ANIMACION, u"Static", 0},
        {IDD_ESTADOPC, IDC_ICONO, u"Static", kSsIcon},
        {IDD_ESTADOPC, IDC_LINEA8, u"Static", 0},
        {IDD_DATOS, IDC_DATOS_IP, u"SysIPAddress32", kWsTabStop},
        {IDD_DATOS, IDC_DATOS_MASCARA, u"SysIPAddress32", kWsTabStop},
        {IDD_DATOS, IDC_NIC, u"ComboBox", kDropList},
        {IDD_IPGESTION, IDC_IPGESTION_IP, u"SysIPAddress32", kWsTabStop},
        {IDD_IPGESTION, IDC_IPGESTION_MASCARA, u"SysIPAddress32", kWsTabStop},
        {IDD_DATOS2, IDC_DATOS2_USUARIO, u"Edit", kWsTabStop},
        {IDD_DATOS2, IDC_DATOS2_PASSWORD, u"Edit", kEsPassword | kWsTabStop},
        {IDD_DATOS2, IDC_NIC, u"ComboBox", kDropList},
        {IDD_DATOSFIRM, IDC_DATOSFIRM_FICHERO, u"Edit", kWsTabStop},
        {IDD_DATOSFIRM, IDC_DATOSFIRM_EXAMINAR, u"Button", kWsTabStop},
        {IDD_DATOSFIRM, IDC_NIC, u"ComboBox", kDropList},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_DHCP, u"Button", kBsAutoRadio | kWsGroup | kWsTabStop},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_MANUAL, u"Button", kBsAutoRadio},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_IPINICIAL, u"SysIPAddress32", kWsTabStop},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_MASCARADHCP, u"SysIPAddress32", kWsTabStop},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_IPPC, u"SysIPAddress32", kWsTabStop},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_MASCARAPC, u"SysIPAddress32", kWsTabStop},
        {IDD_MULTIPUESTO, IDC_MULTIPUESTO_IPROUTER, u"SysIPAddress32", kWsTabStop},
        {IDD_RESUMENDATOS, IDC_RESUMEN_VALOR12, u"Static", 0},
        {IDD_CONECTIVIDAD, IDC_ANIMACION, u"Static", 0},
        {IDD_CONECTIVIDAD, IDC_ESTADO, u"Static", 0},
        {IDD_CONSOLA, IDC_CONSOLA_PUERTO, u"ComboBox", kDropList},
        {IDD_ACCESOPUERTO, IDC_ANIMACION, u"Static", 0},
        {IDD_ACCESOPUERTO, IDC_ESTADO, u"Static", 0},
        {IDD_MANUAL, IDC_MANUAL_IPROUTER, u"SysIPAddress32", kWsTabStop},
        {IDD_MANUAL, IDC_MANUAL_MASCARA, u"SysIPAddress32", kWsTabStop},
        {IDD_MANUAL, IDC_MANUAL_IPPC, u"SysIPAddress32", kWsTabStop},
        {IDD_CHANGEFIRM, IDC_ANIMACION, u"Static", 0},
        {IDD_CHANGEFIRM, IDC_ESTADO, u"Static", 0},
        {IDD_PUERTOS, IDC_LISTA_PUERTOS, u"SysListView32", kList},
        {IDD_PUERTOS, IDC_PUERTOS_AGREGAR, u"Button", kWsTabStop},
        {IDD_PUERTOS, IDC_PUERTOS_MODIFICAR, u"Button", kWsTabStop},
        {IDD_PUERTOS, IDC_PUERTOS_ELIMINAR, u"Button", kWsTabStop},
        {IDD_PUERTOS, IDC_PUERTOS_NUMERO, u"Edit", kWsTabStop},
        {IDD_PUERTOS, IDC_PUERTOS_IP, u"SysIPAddress32", kWsTabStop},
        {IDD_PUERTOS, IDC_PUERTOS_ACTUALIZAR, u"Button", kWsTabStop},
        {IDD_CONFIGURANDO, IDC_ANIMACION, u"Static", 0},
        {IDD_CONFIGURANDO, IDC_ESTADO, u"Static", 0},
        {IDD_FINERROR, IDC_ICONO, u"Static", kSsIcon},
        {IDD_FINERROR, IDC_FINERROR_DETALLE, u"Static", 0},
        {IDD_FINOK, IDC_FINOK_RUTAS, u"Static", 0},
        {IDD_PASSWORD, IDC_PASSWORD_CLAVE, u"Edit", kEsPassword | kWsTabStop},
    };
    for (const Case &c : cases)
    {
        const kitrc::Dialog page = Page(c.page);
        const kitrc::DialogItem *item = Item(page, c.id);
        ASSERT_NE(item, nullptr) << "dialog " << c.page << " has no control " << c.id;
        EXPECT_EQ(item->className, c.className) << "dialog " << c.page << " control " << c.id;
        EXPECT_EQ(item->style & c.style, c.style) << "dialog " << c.page << " control " << c.id;
        // The second choice of a group belongs to the group of the first: tab stops on the first only.
        if (c.className == std::u16string(u"Button") && (item->style & 0xF) == kBsAutoRadio &&
            !(c.style & kWsGroup))
        {
            EXPECT_EQ(item->style & (kWsGroup | kWsTabStop), 0u)
                << "dialog " << c.page << " control " << c.id;
        }
    }
    // The animation plays in 80 x 48 pixels; the state icon is a 32 x 32 one.
    for (int id : {IDD_DETECCION, IDD_CONECTIVIDAD, IDD_ACCESOPUERTO, IDD_CHANGEFIRM, IDD_CONFIGURANDO})
    {
        const kitrc::Dialog page = Page(id);
        const kitrc::DialogItem *animation = Item(page, IDC_ANIMACION);
        ASSERT_NE(animation, nullptr) << id;
        EXPECT_EQ(animation->cx, 54) << id;
        EXPECT_EQ(animation->cy, 30) << id;
    }
    for (int id : {IDD_ESTADOPC, IDD_FINERROR})
    {
        const kitrc::Dialog page = Page(id);
        EXPECT_EQ(Item(page, IDC_ICONO)->cx, 20) << id;
        EXPECT_EQ(Item(page, IDC_ICONO)->cy, 20) << id;
    }
    // The result page has a line for every requirement it can report.
    for (std::uint32_t line = IDC_LINEA1; line <= IDC_LINEA8; ++line)
        EXPECT_NE(Item(Page(IDD_ESTADOPC), line), nullptr) << line;
}

// The texts are narrow literals, so Windows 1252 bytes as the script holds them.
TEST(QelAsistScript, TextsReadBackAsTheWizardShowsThem)
{
    const std::pair<unsigned, const char *> texts[] = {
        {IDS_TITULO_PRODUCTO, "Asistente de configuración ADSL"},
        {IDS_CONECTIVIDAD_TITULO, "Conectividad con el módem"},
        {IDS_FINOK_CONFIGURADO, "La configuración de  su módem-router ADSL se ha realizado correctamente."},
        {IDS_CHANGEFIRM_TEXTO2,
         "Importante : No debe desconectar ni apagar el módem hasta que la operación haya concluído."},
        {IDS_PASSWORD_TEXTO, "Desconocemos cual es el password con el que tiene protegido su módem-router. "
                             "Introdúzcalo para que sea posible acceder a él."},
        {104, "<Atrás"},
        {105, "Siguiente>"},
        {106, "Cancelar"},
        {107, "Finalizar"},
        {108, "Instalar"},
        {109, "Reintentar"},
        {110, "Ignorar"},
        {111, "Reconfigurar"},
        {IDS_RESUMEN_SI, "Si"},
        {IDS_PUERTOS_COLUMNA_NUMERO, "Número"},
        {IDS_PUERTOS_COLUMNA_IP, "Dirección IP"},
        {129, "¿Está seguro de que desea cancelar el proceso?"},
        {130, "Cancelar asistente"},
        {131, "Se ha detectado que no tiene permisos de administrador, por lo que no podrá ejecutar el "
              "configurador."},
        {132, "Faltan permisos"},
        {IDS_REQ_NIC_OK, "Tarjeta/s de red instalada/s, enlazada/s y habilitada/s."},
        {IDS_CONF_CANCELAR_PREGUNTA,
         "Se está configurando su servicio ADSL. Si cancela puede dejar el sistema en "
         "estado inestable. ¿Desea cancelar de todas formas?"},
        {187,
         "Para actualizar el TCP/IP es necesario reiniciar el PC. Si desea continuar acepte, si cancela se "
         "cerrará el asistente porque no es posible seguir.\n\nRecuerde que después de reiniciar debe lanzar "
         "de nuevo el asistente para seguir con el proceso."},
        {IDS_REINICIAR_TITULO, "¿Reiniciar el ordenador?"},
        {194, "No se ha podido establecer en su módem-router ADSL la configuración deseada."},
        {195, "No se ha podido establecer en el TCP/IP de su PC la configuración deseada."},
        {196, "No se ha podido establecer en el RAS de su PC la configuración deseada."},
        {198, "No se ha podido acceder al TCP/IP para obtener la configuración actual."},
        {199, "No se ha podido actualizar el firmware de su módem-router ADSL."},
        {IDS_FINOK_FIRMWARE_LUCES, "El módem completará el proceso en breve, tras lo cual se reiniciará. Si "
                                   "observa las luces del módem, "
                                   "comprobará que el piloto 'sys' pasa de estar encendido a parpadear, y al "
                                   "final vuelve a estar encendido "
                                   "y fijo. En este instante el módem habrá terminado."},
        {IDS_FIRM_ERR_FICHERO,
         "No se encuentra el fichero de firmware ' %s '. Compruebe que la ruta introducida es válida."},
        {IDS_PUERTOS_ERR_PUERTO23,
         "No se permite mapear el puerto 23. Este cambio no se reflejará en la lista definitiva."},
        {IDS_MODEM_MSG2, "Operacion cancelada"},
        {IDS_MODEM_MSG8, "Introduciendo contraseña..."},
        {IDS_TCPIP_MSG1, "[TCPIP-0001] : Ya se está realizando una operación de este tipo, por lo que no es "
                         "posible realizar otra."},
        {IDS_TCPIP_MSG20, "[TCPIP-0204] : Nueva configuración del TCP/IP fijada correctamente."},
        {276,
         "No es posible ejecutar el configurador. No se encuentra, o no es válido, un fichero necesario para "
         "su ejecución."},
        {277, "Error de aplicación"},
        {IDS_MODEM_BYTES, "%s Bytes transferidos"},
        {IDS_PUERTOS_PREGUNTA_ANADIR_TITULO, "¿Añadir el puerto?"},
        {IDS_ERR_CONEXION_RAS, "No se ha podido crear la conexión de acceso telefónico a redes necesaria."},
    };
    for (const auto &[id, text] : texts)
        EXPECT_EQ(StringBytes(id), text) << "string " << id;
    // Ids the wizard never asks for stay empty, and every text is one LoadString's buffer can hold.
    EXPECT_EQ(StringBytes(6), "");
    EXPECT_EQ(StringBytes(197), "");
    for (unsigned id = 1; id <= 284; ++id)
        EXPECT_LT(StringBytes(id).size(), 260u) << "string " << id;
}

// Where MinGW's windres is installed, it reads the script as we do.
namespace
{
std::string OnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && fs::exists(fs::path(folder) / program))
            return (fs::path(folder) / program).string();
    return {};
}

std::uint32_t Le32(const std::string &b, size_t at)
{
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
           static_cast<std::uint8_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}

std::uint16_t Le16(const std::string &b, size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1])
                                                                             << 8);
}

// A .res file's resources named by ordinal type and name: header sizes, 0xFFFF ordinals, data
// aligned to four bytes. Resources named by text are left out (windres writes none here).
std::map<std::pair<std::uint16_t, std::uint16_t>, kitrc::Bytes> ReadRes(const std::string &res)
{
    std::map<std::pair<std::uint16_t, std::uint16_t>, kitrc::Bytes> out;
    for (size_t at = 0; at + 32 <= res.size();)
    {
        const std::uint32_t dataSize = Le32(res, at), headerSize = Le32(res, at + 4);
        if (headerSize < 16 || at + headerSize + dataSize > res.size())
            break;
        if (Le16(res, at + 8) == 0xFFFF && Le16(res, at + 12) == 0xFFFF && dataSize > 0)
            out[{Le16(res, at + 10), Le16(res, at + 14)}] =
                kitrc::Bytes(res.begin() + static_cast<long>(at + headerSize),
                             res.begin() + static_cast<long>(at + headerSize + dataSize));
        at = (at + headerSize + dataSize + 3) & ~size_t{3};
    }
    return out;
}

std::u16string Upper(std::u16string text)
{
    for (char16_t &c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
}
} // namespace

TEST(Windres, ReadsTheWizardScriptAsWeDo)
{
    const std::string windres = OnPath("x86_64-w64-mingw32-windres");
    if (windres.empty())
        GTEST_SKIP() << "MinGW's windres is not on PATH (Debian package binutils-mingw-w64-x86-64)";
    const fs::path script(KIT_QELASIST_RC);
    const fs::path output =
        fs::temp_directory_path() / ("qelasist_rc_test_" + std::to_string(getpid()) + ".res");
    const std::string command = windres + " -c 1252 -O res -I '" + script.parent_path().string() + "' -i '" +
                                script.string() + "' -o '" + output.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ostringstream bytes;
    bytes << std::ifstream(output, std::ios::binary).rdbuf();
    std::error_code ec;
    fs::remove(output, ec);
    ASSERT_EQ(status, 0) << command;
    const auto theirs = ReadRes(bytes.str());

    size_t ours = 0;
    for (const kitrc::Resource &r : Script().resources)
    {
        ASSERT_TRUE(r.type.text.empty() && r.name.text.empty());
        ++ours;
        auto it = theirs.find({r.type.ordinal, r.name.ordinal});
        ASSERT_NE(it, theirs.end()) << "type " << r.type.ordinal << " name " << r.name.ordinal;
        if (r.type.ordinal == kRtString)
        {
            EXPECT_EQ(it->second, r.data) << "string block " << r.name.ordinal;
            continue;
        }
        // windres names the class of a CONTROL by its upper-cased text where we give the
        // predefined ordinal; Windows reads both alike.
        const auto mine = kitrc::ReadDialog(r.data.data(), r.data.size());
        const auto other = kitrc::ReadDialog(it->second.data(), it->second.size());
        ASSERT_TRUE(mine && other) << r.name.ordinal;
        EXPECT_EQ(mine->style, other->style) << r.name.ordinal;
        EXPECT_EQ(mine->caption, other->caption) << r.name.ordinal;
        EXPECT_EQ(mine->typeface, other->typeface) << r.name.ordinal;
        ASSERT_EQ(mine->items.size(), other->items.size()) << r.name.ordinal;
        for (size_t i = 0; i < mine->items.size(); ++i)
        {
            const kitrc::DialogItem &a = mine->items[i], &b = other->items[i];
            const std::string where = Describe(r.name.ordinal, a);
            EXPECT_EQ(a.id, b.id) << where;
            EXPECT_EQ(a.style, b.style) << where;
            EXPECT_EQ(a.exStyle, b.exStyle) << where;
            EXPECT_EQ(std::vector<int>({a.x, a.y, a.cx, a.cy}), std::vector<int>({b.x, b.y, b.cx, b.cy}))
                << where;
            EXPECT_EQ(Upper(a.className), Upper(b.className)) << where;
            EXPECT_EQ(a.text, b.text) << where;
        }
    }
    EXPECT_EQ(ours, theirs.size());
}
