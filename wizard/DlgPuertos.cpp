// Page 18: the port mapping.
#include "wizard/DlgPuertos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Direcciones.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/qelapli/RegApli.h"

#include <climits>
#include <vector>

namespace
{
constexpr char kDefault[] = "Default";
// The router maps eight ports, its default server counted as one.
constexpr int kFilasMaximas = 8;
constexpr int kFilaDefault = 0;
constexpr int kColPuerto = 0, kColIp = 1;
constexpr int kPuertoMaximo = 65535;
// Telnet is the router's own console: it is never handed to a PC.
constexpr char kPuertoProhibido[] = "23";

// The number a port text reads as, the way atoi does: blanks, a sign, the digits up to the
// first other character; no digits is 0. Beyond the range of int it stays at the limit.
long long NumeroDe(const std::string &texto)
{
    size_t i = texto.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos)
        return 0;
    const bool negativo = texto[i] == '-';
    if (texto[i] == '-' || texto[i] == '+')
        ++i;
    long long n = 0;
    for (; i < texto.size() && texto[i] >= '0' && texto[i] <= '9' && n <= INT_MAX; ++i)
        n = n * 10 + (texto[i] - '0');
    return negativo ? -n : n;
}

// An address worth keeping in the list text.
bool DireccionUsable(const std::string &ip)
{
    return CDirecciones::EsFormatoIp(ip) && ip != "0.0.0.0";
}

bool Dada(const std::string &ip)
{
    return !ip.empty() && ip != "0.0.0.0";
}

std::vector<std::string> Partes(const std::string &lista)
{
    std::vector<std::string> partes;
    for (size_t inicio = 0;;)
    {
        const size_t coma = lista.find(',', inicio);
        partes.push_back(lista.substr(inicio, coma == std::string::npos ? std::string::npos : coma - inicio));
        if (coma == std::string::npos)
            return partes;
        inicio = coma + 1;
    }
}
} // namespace

CDlgPuertos::CDlgPuertos()
    : CDlgBase(IDD_PUERTOS, IDS_PUERTOS_TITULO, cancelarPreguntando,
               {{IDC_PUERTOS_TEXTO, IDS_PUERTOS_TEXTO},
                {IDC_PUERTOS_AGREGAR, IDS_PUERTOS_AGREGAR},
                {IDC_PUERTOS_MODIFICAR, IDS_PUERTOS_MODIFICAR},
                {IDC_PUERTOS_ELIMINAR, IDS_PUERTOS_ELIMINAR},
                {IDC_PUERTOS_ETIQ_NUMERO, IDS_PUERTOS_NUMERO},
                {IDC_PUERTOS_ETIQ_IP, IDS_PUERTOS_IP},
                {IDC_PUERTOS_ACTUALIZAR, IDS_PUERTOS_ACTUALIZAR}})
{
}

BOOL CDlgPuertos::OnInitDialog()
{
    CDlgBase::OnInitDialog();
    RECT lugar{};
    GetDlgItemRect(IDC_LISTA_PUERTOS, lugar);
    const int ancho = lugar.right - lugar.left;
    ListaInsertColumn(IDC_LISTA_PUERTOS, kColPuerto, asistente::Cadena(IDS_PUERTOS_COLUMNA_NUMERO),
                      ancho * 2 / 5);
    ListaInsertColumn(IDC_LISTA_PUERTOS, kColIp, asistente::Cadena(IDS_PUERTOS_COLUMNA_IP),
                      ancho - ancho * 2 / 5);
    return TRUE;
}

BOOL CDlgPuertos::OnSetActive()
{
    CDlgBase::OnSetActive();
    Llenar(asistente::Datos().ListaPuertos);
    PonerModo(modoConsulta);
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

void CDlgPuertos::Llenar(const std::string &lista)
{
    ListaDeleteAllItems(IDC_LISTA_PUERTOS);
    ListaInsertItem(IDC_LISTA_PUERTOS, kFilaDefault, kDefault);
    // Pairs with an item missing are no mapping, nor is an address "0.0.0.0" (not given: what a
    // router's unused slots hold); a "Default" pair is the default row's.
    const std::vector<std::string> partes = Partes(lista);
    for (size_t i = 0; i + 1 < partes.size(); i += 2)
    {
        const std::string &puerto = partes[i], &ip = partes[i + 1];
        if (puerto.empty() || ip.empty() || ip == "0.0.0.0")
            continue;
        const int fila = puerto == kDefault ? kFilaDefault
                                            : ListaInsertItem(IDC_LISTA_PUERTOS,
                                                              ListaGetItemCount(IDC_LISTA_PUERTOS), puerto);
        ListaSetItemText(IDC_LISTA_PUERTOS, fila, kColIp, ip);
    }
}

std::string CDlgPuertos::Lista() const
{
    std::string lista;
    for (int fila = 0; fila < ListaGetItemCount(IDC_LISTA_PUERTOS); ++fila)
    {
        const std::string ip = ListaGetItemText(IDC_LISTA_PUERTOS, fila, kColIp);
        if (!DireccionUsable(ip))
            continue;
        if (!lista.empty())
            lista += ',';
        lista += (fila == kFilaDefault ? std::string(kDefault)
                                       : ListaGetItemText(IDC_LISTA_PUERTOS, fila, kColPuerto)) +
                 "," + ip;
    }
    return lista;
}

void CDlgPuertos::PonerModo(Modo modo)
{
    m_modo = modo;
    const bool editando = modo != modoConsulta;
    if (modo != modoModificar)
    {
        m_nFila = -1;
        SetDlgItemText(IDC_PUERTOS_NUMERO, std::string());
        IpClearAddress(IDC_PUERTOS_IP);
    }
    EnableDlgItem(IDC_PUERTOS_MODIFICAR, modo != modoAgregar);
    EnableDlgItem(IDC_PUERTOS_ELIMINAR, modo != modoAgregar);
    EnableDlgItem(IDC_PUERTOS_NUMERO, editando && m_nFila != kFilaDefault);
    EnableDlgItem(IDC_PUERTOS_IP, editando);
    EnableDlgItem(IDC_PUERTOS_ACTUALIZAR, editando);
}

void CDlgPuertos::OnControl(UINT nId, UINT nCodigo)
{
    if (nId == IDC_LISTA_PUERTOS)
    {
        if (nCodigo == kNotifDobleClic)
            Modificar();
        else if (nCodigo == kNotifSeleccion)
            PonerModo(modoConsulta);
        return;
    }
    if (nCodigo != kNotifClic)
        return;
    switch (nId)
    {
    case IDC_PUERTOS_AGREGAR:
        Agregar();
        break;
    case IDC_PUERTOS_MODIFICAR:
        Modificar();
        break;
    case IDC_PUERTOS_ELIMINAR:
        Eliminar();
        break;
    case IDC_PUERTOS_ACTUALIZAR:
        Actualizar();
        break;
    default:
        break;
    }
}

void CDlgPuertos::Agregar()
{
    if (ListaGetItemCount(IDC_LISTA_PUERTOS) >= kFilasMaximas)
    {
        Rechazar(IDS_PUERTOS_ERR_LLENA, IDS_PUERTOS_ERR_LLENA_TITULO);
        return;
    }
    PonerModo(modoAgregar);
    SetFocusDlgItem(IDC_PUERTOS_NUMERO);
}

void CDlgPuertos::Modificar()
{
    const int fila = ListaGetSelectedItem(IDC_LISTA_PUERTOS);
    if (fila < 0)
        return;
    m_nFila = fila;
    PonerModo(modoModificar);
    SetDlgItemText(IDC_PUERTOS_NUMERO, ListaGetItemText(IDC_LISTA_PUERTOS, fila, kColPuerto));
    IpSetAddress(IDC_PUERTOS_IP, ListaGetItemText(IDC_LISTA_PUERTOS, fila, kColIp));
    SetFocusDlgItem(fila == kFilaDefault ? IDC_PUERTOS_IP : IDC_PUERTOS_NUMERO);
}

void CDlgPuertos::Eliminar()
{
    const int fila = ListaGetSelectedItem(IDC_LISTA_PUERTOS);
    if (fila <= kFilaDefault)
        return;
    ListaDeleteItem(IDC_LISTA_PUERTOS, fila);
    PonerModo(modoConsulta);
}

bool CDlgPuertos::Comprobado(UINT idError, UINT idTitulo)
{
    if (idError == 0)
        return true;
    Rechazar(idError, idTitulo);
    return false;
}

bool CDlgPuertos::PuertoAceptado(const std::string &puerto)
{
    const long long numero = NumeroDe(puerto);
    UINT error = 0;
    if (puerto.empty() || numero < 0 || numero > kPuertoMaximo)
        error = IDS_PUERTOS_ERR_PUERTO;
    else if (puerto == kPuertoProhibido)
        error = IDS_PUERTOS_ERR_PUERTO23;
    return Comprobado(error, IDS_PUERTOS_ERR_PUERTO_TITULO);
}

bool CDlgPuertos::DireccionAceptada(const Direccion &ip)
{
    if (!ip.Completa() || ip.texto == "0.0.0.0")
        return Comprobado(IDS_PUERTOS_ERR_IP, IDS_PUERTOS_ERR_IP_TITULO);
    const CDatosAsistente &datos = asistente::Datos();
    if (!Dada(datos.IpPrivada) || !Dada(datos.MaskPrivada))
        return true;
    const std::string &mascara = datos.MaskPrivada;
    const std::string router =
        Dada(datos.IpRouter) ? datos.IpRouter : CDirecciones::PrimeraIp(datos.IpPrivada, mascara);
    std::string subred;
    CDirecciones::CalcularSubred(ip.texto, mascara, subred);
    const bool enLaRed = CDirecciones::MismaSubred(ip.texto, mascara, datos.IpPrivada) &&
                         ip.texto != router && !CDirecciones::EsBroadcast(ip.texto, mascara) &&
                         ip.texto != subred;
    return Comprobado(enLaRed ? 0 : IDS_PUERTOS_ERR_IP_RED, IDS_PUERTOS_ERR_IP_TITULO);
}

bool CDlgPuertos::PuertoNuevo(const std::string &puerto)
{
    for (int fila = 0; fila < ListaGetItemCount(IDC_LISTA_PUERTOS); ++fila)
        if (ListaGetItemText(IDC_LISTA_PUERTOS, fila, kColPuerto) == puerto)
            return Comprobado(IDS_PUERTOS_ERR_DUPLICADO, IDS_PUERTOS_ERR_DUPLICADO_TITULO);
    return true;
}

void CDlgPuertos::Actualizar()
{
    const bool esDefault = m_modo == modoModificar && m_nFila == kFilaDefault;
    const std::string puerto = esDefault ? std::string(kDefault) : GetDlgItemText(IDC_PUERTOS_NUMERO);
    const Direccion ip = LeerDireccion(IDC_PUERTOS_IP);
    const bool aceptado = m_modo != modoConsulta && (esDefault || PuertoAceptado(puerto)) &&
                          DireccionAceptada(ip) && (m_modo != modoAgregar || PuertoNuevo(puerto));
    if (aceptado)
    {
        const int fila = m_modo == modoAgregar ? ListaInsertItem(IDC_LISTA_PUERTOS,
                                                                 ListaGetItemCount(IDC_LISTA_PUERTOS), puerto)
                                               : m_nFila;
        ListaSetItemText(IDC_LISTA_PUERTOS, fila, kColPuerto, puerto);
        ListaSetItemText(IDC_LISTA_PUERTOS, fila, kColIp, ip.texto);
    }
    PonerModo(modoConsulta);
}

LRESULT CDlgPuertos::OnWizardNext()
{
    const Direccion ip = LeerDireccion(IDC_PUERTOS_IP);
    if (m_modo != modoConsulta && ip.partes > 0 && ip.texto != "0.0.0.0")
    {
        const bool agregando = m_modo == modoAgregar;
        if (Mensaje(agregando ? IDS_PUERTOS_PREGUNTA_ANADIR : IDS_PUERTOS_PREGUNTA_MODIFICAR,
                    agregando ? IDS_PUERTOS_PREGUNTA_ANADIR_TITULO : IDS_PUERTOS_PREGUNTA_MODIFICAR_TITULO,
                    MB_YESNO | MB_ICONQUESTION) == IDYES)
            Actualizar();
    }
    PonerModo(modoConsulta);
    CDatosAsistente &datos = asistente::Datos();
    datos.ListaPuertos = Lista();
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    reg.SetListaPuertos(datos.ListaPuertos.c_str());
    reg.Close();
    return IrA(pagConfigurando);
}

LRESULT CDlgPuertos::OnWizardBack()
{
    return IrA(pagResumenDatos);
}
