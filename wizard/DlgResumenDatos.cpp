// Page 11: the summary of the answers. Its lines are the ones that apply to the mode, one after
// another; the DNS servers are the ones "Config.ini" gives.
#include "wizard/DlgResumenDatos.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Plan.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/qelapli/RegApli.h"

#include <utility>
#include <vector>

namespace
{
constexpr int kFilas = 12;

UINT Etiqueta(int fila)
{
    return IDC_RESUMEN_ETIQUETA1 + 2 * static_cast<UINT>(fila);
}

UINT Valor(int fila)
{
    return IDC_RESUMEN_VALOR1 + 2 * static_cast<UINT>(fila);
}

using Linea = std::pair<UINT, std::string>; // label string, value

std::vector<Linea> Lineas(const CDatosAsistente &d)
{
    using asistente::Cadena;
    const bool multipuesto = d.ModoConf == 1;
    const bool estatica = d.ModoDirec == 0;
    std::vector<Linea> lineas = {
        {IDS_RESUMEN_MODOCONF, Cadena(multipuesto ? IDS_RESUMEN_MULTIPUESTO : IDS_RESUMEN_MONOPUESTO)},
        {IDS_RESUMEN_MODODIREC, Cadena(estatica ? IDS_RESUMEN_ESTATICO : IDS_RESUMEN_DINAMICO)},
        {IDS_RESUMEN_NIC, d.NIC},
    };
    if (estatica)
    {
        lineas.push_back({IDS_RESUMEN_IPPUBLICA, d.IpPublica});
        lineas.push_back({IDS_RESUMEN_MASCARAPUBLICA, d.MaskPublica});
    }
    else
    {
        // The password is the user's own: shown as its length in stars, never as text.
        lineas.push_back({IDS_RESUMEN_USUARIO, d.Username});
        lineas.push_back({IDS_RESUMEN_PASSWORD, std::string(d.Password.size(), '*')});
    }
    if (multipuesto)
    {
        lineas.push_back({IDS_RESUMEN_DHCP, Cadena(d.DHCP == 0 ? IDS_RESUMEN_SI : IDS_RESUMEN_NO)});
        lineas.push_back({IDS_RESUMEN_IPPRIVADA, d.IpPrivada});
        lineas.push_back({IDS_RESUMEN_MASCARAPRIVADA, d.MaskPrivada});
    }
    else if (estatica)
    {
        lineas.push_back({IDS_RESUMEN_IPGESTION, d.IpGestion});
        lineas.push_back({IDS_RESUMEN_MASCARAGESTION, d.MaskGestion});
    }
    const plan::Dns dns = plan::LeerDns();
    lineas.push_back({IDS_RESUMEN_DNS1, dns.DNS1});
    lineas.push_back({IDS_RESUMEN_DNS2, dns.DNS2});
    return lineas;
}
} // namespace

CDlgResumenDatos::CDlgResumenDatos()
    : CDlgBase(IDD_RESUMENDATOS, IDS_RESUMEN_TITULO, cancelarPreguntando,
               {{IDC_RESUMEN_TEXTO, IDS_RESUMEN_TEXTO}})
{
}

BOOL CDlgResumenDatos::OnSetActive()
{
    CDlgBase::OnSetActive();
    const std::vector<Linea> lineas = Lineas(asistente::Datos());
    for (int fila = 0; fila < kFilas; ++fila)
    {
        const bool hay = fila < static_cast<int>(lineas.size());
        SetDlgItemText(Etiqueta(fila), hay ? asistente::Cadena(lineas[fila].first) : std::string());
        SetDlgItemText(Valor(fila), hay ? lineas[fila].second : std::string());
    }
    GetSheet()->SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return TRUE;
}

LRESULT CDlgResumenDatos::OnWizardNext()
{
    // The answers are about to be acted on: they go through to the registry's file.
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    reg.SetSettings();
    reg.Close();
    return IrA(pagConectividad);
}

LRESULT CDlgResumenDatos::OnWizardBack()
{
    const CDatosAsistente &datos = asistente::Datos();
    if (Hoja().Reanudado())
        return IrA(pagModoConf);
    if (datos.ModoConf == 1)
        return IrA(pagMultipuesto);
    return IrA(datos.ModoDirec == 0 ? pagIpGestion : pagModoConf);
}
