// CUti: ActivarVentana and the diagnostic texts of Windows values.
#include "comun/Uti.h"
#include "comun/Internal.h"
#include "comun/Sis.h"
#include "comun/UtiTablas.h"

#include <cmath>

namespace
{
constexpr int kMaxTextoVentana = 64;
constexpr UINT kWmUser = 0x0400;
constexpr UINT kWmApp = 0x8000;
constexpr UINT kWmRegistrado = 0xC000;
constexpr double kFechaMinima = -657434.0; // 1 January 100
constexpr double kFechaMaxima = 2958465.0; // 31 December 9999, the last day COleDateTime holds
constexpr int64_t kDias1899a1970 = 25569;  // from 30 December 1899, day 0 of a DATE, to 1 January 1970

struct Fecha
{
    int anio, mes, dia, diaSemana, hora, minuto, segundo;
};

// The civil date of a day counted from 1 January 1970 (proleptic Gregorian calendar).
void DiaCivil(int64_t dias, Fecha &f)
{
    dias += 719468;
    const int64_t era = (dias >= 0 ? dias : dias - 146096) / 146097;
    const int64_t doe = dias - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    f.dia = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    f.mes = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    f.anio = static_cast<int>(yoe + era * 400 + (f.mes <= 2 ? 1 : 0));
}

// An OLE date: whole days since 30 December 1899, and the time of day as the fraction, which
// counts forwards from midnight also for days before 1899. Rounded to the second.
bool FechaDeOle(DATE dt, Fecha &f)
{
    if (!std::isfinite(dt) || dt < kFechaMinima || dt >= kFechaMaxima + 1)
        return false;
    double dia = std::trunc(dt);
    int64_t segundos = std::llround(std::fabs(dt - dia) * 86400.0);
    if (segundos >= 86400)
    {
        segundos -= 86400;
        dia += dt < 0 ? -1 : 1;
    }
    const int64_t dias1970 = static_cast<int64_t>(dia) - kDias1899a1970;
    DiaCivil(dias1970, f);
    f.diaSemana = static_cast<int>(((dias1970 % 7) + 11) % 7); // 1 January 1970 was a Thursday
    f.hora = static_cast<int>(segundos / 3600);
    f.minuto = static_cast<int>(segundos / 60 % 60);
    f.segundo = static_cast<int>(segundos % 60);
    return true;
}

std::string TextoVariantSimple(const VARIANT &v)
{
    switch (v.vt)
    {
    case VT_I2:
        return comun::Formato(", %d", v.iVal);
    case VT_I4:
        return comun::Formato(", %ld", static_cast<long>(v.lVal));
    case VT_R4:
        return comun::Formato(", %f", static_cast<double>(v.fltVal));
    case VT_R8:
    case VT_DATE:
        return comun::Formato(", %lf", v.dblVal);
    case VT_BOOL:
        return comun::Formato(", %d", v.boolVal);
    case VT_ERROR:
        return comun::Formato(", %ld", static_cast<long>(v.scode));
    case VT_I1:
        return comun::Formato(", %d", v.cVal);
    case VT_UI1:
        return comun::Formato(", %d", v.bVal);
    case VT_UI2:
        return comun::Formato(", %d", v.uiVal);
    case VT_UI4:
        return comun::Formato(", %lu", static_cast<unsigned long>(v.ulVal));
    case VT_I8:
        return comun::Formato(", %lld", static_cast<long long>(v.llVal));
    case VT_UI8:
        return comun::Formato(", %llu", static_cast<unsigned long long>(v.ullVal));
    case VT_INT:
        return comun::Formato(", %d", v.intVal);
    case VT_UINT:
        return comun::Formato(", %u", v.uintVal);
    case VT_BSTR:
        return ", \"" +
               (v.bstrVal ? comun::Utf16AAnsi(WStringView(v.bstrVal, SysStringLen(v.bstrVal))) : "") + "\"";
    default:
        return {};
    }
}
} // namespace

HRESULT CUti::ActivarVentana(HWND hWnd)
{
    if (!hWnd || !IsWindow(hWnd))
        return E_INVALIDARG;
    if (!IsWindowVisible(hWnd) || IsIconic(hWnd))
        ShowWindow(hWnd, SW_RESTORE);
    HWND popup = GetLastActivePopup(hWnd);
    if (!SetForegroundWindow(popup ? popup : hWnd))
        return E_FAIL;
    return S_OK;
}

std::string CUti::VerTextoBOOL(int iValor)
{
    if (iValor == 0)
        return "falso";
    if (iValor == 1)
        return "cierto";
    return comun::Formato("cierto(0x%X)", static_cast<unsigned>(iValor));
}

std::string CUti::VerTextoHKEY(HKEY hKey)
{
    static const struct
    {
        HKEY clave;
        const char *nombre;
    } kRaices[] = {
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, "HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
        {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
    };
    for (const auto &raiz : kRaices)
        if (raiz.clave == hKey)
            return raiz.nombre;
    return comun::Formato("HKEY(0x%08X)", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey)));
}

std::string CUti::VerTextoCSIDL(DWORD dwCsidl)
{
    if (const char *nombre = comun::Buscar(comun::TablaCSIDL(), dwCsidl))
        return nombre;
    return comun::Formato("CSIDL(0x%08X)", static_cast<unsigned>(dwCsidl));
}

std::string CUti::VerTextoIID(REFIID iid)
{
    for (const comun::NombreIID &n : comun::TablaIID())
        if (n.iid == iid)
            return n.nombre;
    std::string texto;
    CSis::VerTextoGUID(iid, texto);
    return texto;
}

std::string CUti::VerTextoCLSID(REFCLSID clsid)
{
    std::string texto;
    CSis::VerTextoCLSID(clsid, texto);
    return texto;
}

std::string CUti::VerTextoLANGID(WORD wLangId)
{
    const WORD primario = PRIMARYLANGID(wLangId);
    const WORD sub = SUBLANGID(wLangId);
    for (const comun::NombreIdioma &idioma : comun::TablaIdiomas())
    {
        if (idioma.primario != primario)
            continue;
        if (const char *nombre = comun::Buscar(idioma.sublenguajes, sub))
            return nombre;
        return comun::Formato("%s(0x%08X)", idioma.lang, static_cast<unsigned>(wLangId));
    }
    return comun::Formato("LANGID(0x%08X)", static_cast<unsigned>(wLangId));
}

std::string CUti::VerTextoHRESULT(HRESULT hr)
{
    const auto valor = static_cast<DWORD>(hr);
    if (const char *nombre = comun::Buscar(comun::TablaHRESULT(), valor))
        return nombre;
    if (HRESULT_FACILITY(valor) == FACILITY_WIN32 && (valor & 0x80000000u))
        if (const char *error = comun::Buscar(comun::TablaWin32(), HRESULT_CODE(valor)))
            return std::string("HRESULT_FROM_WIN32(") + error + ")";
    return comun::Formato("HRESULT(0x%08X)", static_cast<unsigned>(valor));
}

std::string CUti::VerTextoWM(UINT uMensaje)
{
    if (uMensaje >= kWmRegistrado && uMensaje <= 0xFFFF)
        return comun::Formato("WM(RegisterWindowMessage,0x%X)", uMensaje);
    if (uMensaje >= kWmApp && uMensaje < kWmRegistrado)
        return comun::Formato("WM_APP(0x%X)", uMensaje);
    if (uMensaje >= kWmUser && uMensaje < kWmApp)
        return comun::Formato("WM_USER(0x%X)", uMensaje);
    if (uMensaje < kWmUser)
        if (const char *nombre = comun::Buscar(comun::TablaWM(), uMensaje))
            return nombre;
    return comun::Formato("WM(0x%08X)", uMensaje);
}

std::string CUti::VerTextoHWND(HWND hWnd)
{
    char texto[kMaxTextoVentana + 1] = "";
    if (hWnd && IsWindow(hWnd))
        GetWindowTextA(hWnd, texto, sizeof texto);
    return comun::Formato("{HWND: 0x%08X, \"%s\"}", static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hWnd)),
                          texto);
}

std::string CUti::VerTextoVARIANT(const VARIANT &var)
{
    const VARTYPE tipo = var.vt;
    const char *base = comun::Buscar(comun::TablaVT(), tipo & VT_TYPEMASK);
    const VARTYPE banderas = tipo & ~VT_TYPEMASK;
    if (!base || (banderas & ~(VT_ARRAY | VT_BYREF | 0x1000 /* VT_VECTOR */)))
        return comun::Formato("{VT(0x%X)}", static_cast<unsigned>(tipo));
    std::string texto = "{";
    if (banderas & 0x1000)
        texto += "VT_VECTOR|";
    if (banderas & VT_ARRAY)
        texto += "VT_ARRAY|";
    if (banderas & VT_BYREF)
        texto += "VT_BYREF|";
    texto += base;
    if (!banderas)
        texto += TextoVariantSimple(var);
    return texto + "}";
}

std::string CUti::VerTextoFecha(DATE dtFecha, EstadoFecha estado)
{
    static const char *const kDias[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    Fecha f{};
    if (estado == fechaValida && !FechaDeOle(dtFecha, f))
        estado = fechaInvalida;
    if (estado == fechaNula)
        return "{(COleDateTime::null), }";
    if (estado != fechaValida)
        return "{(COleDateTime::invalid), }";
    return comun::Formato("{%s %02d/%02d/%d %02d:%02d:%02d}", kDias[f.diaSemana], f.dia, f.mes, f.anio,
                          f.hora, f.minuto, f.segundo);
}
