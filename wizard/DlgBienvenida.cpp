// The welcome page.
#include "wizard/DlgBienvenida.h"
#include "wizard/DatosAsistente.h"
#include "wizard/Globales.h"
#include "wizard/Wizard97Sheet.h"
#include "wizard/resource.h"

#include "outside/qelapli/RegApli.h"

#include <vector>

namespace
{
// The process token's groups hold the Administrators group (S-1-5-32-544), enabled. A check
// that cannot be made counts as passed: the wizard never locks out a user by its own failure.
bool EsAdministrador()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return true;
    DWORD tamano = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &tamano);
    std::vector<BYTE> buffer(tamano);
    bool administrador = true;
    PSID administradores = nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (tamano && GetTokenInformation(token, TokenGroups, buffer.data(), tamano, &tamano) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                 0, &administradores))
    {
        const auto *grupos = reinterpret_cast<const TOKEN_GROUPS *>(buffer.data());
        administrador = false;
        for (DWORD i = 0; i < grupos->GroupCount; ++i)
            if (EqualSid(grupos->Groups[i].Sid, administradores) &&
                (grupos->Groups[i].Attributes & SE_GROUP_ENABLED))
                administrador = true;
        FreeSid(administradores);
    }
    CloseHandle(token);
    return administrador;
}
} // namespace

CDlgBienvenida::CDlgBienvenida()
    : CDlgBase(IDD_BIENVENIDA, IDS_BIENVENIDA_TITULO, cancelarPreguntandoUnaVez,
               {{IDC_BIENVENIDA_TEXTO1, IDS_BIENVENIDA_TEXTO1},
                {IDC_BIENVENIDA_TEXTO2, IDS_BIENVENIDA_TEXTO2},
                {IDC_BIENVENIDA_TEXTO3, IDS_BIENVENIDA_TEXTO3}})
{
}

BOOL CDlgBienvenida::OnSetActive()
{
    CDlgBase::OnSetActive();
    GetSheet()->SetWizardButtons(PSWIZB_NEXT);
    // The restart entry written before a reboot has done its work.
    CRegApli reg;
    reg.Open(asistente::ClaveRegistro().c_str(), TRUE);
    reg.Delete("QelExec");
    reg.Close();
    return TRUE;
}

LRESULT CDlgBienvenida::OnWizardNext()
{
    if (asistente::EsNT() && !EsAdministrador())
    {
        Mensaje(IDS_SIN_ADMINISTRADOR, IDS_SIN_ADMINISTRADOR_TITULO, MB_OK | MB_ICONERROR);
        CerrarSinPreguntar();
        return -1;
    }
    CRegApli reg;
    BOOL bInicial = TRUE;
    reg.Open(asistente::ClaveRegistro().c_str(), FALSE);
    reg.IsEstadoInicial(bInicial);
    if (bInicial)
    {
        reg.Close();
        return IrA(pagOperacion);
    }
    // Stopped for a reboot: the saved answers come back and the wizard goes on where it was.
    CDatosAsistente &datos = asistente::Datos();
    datos.Cargar(reg);
    reg.Close();
    Hoja().SetReanudado(true);
    return IrA(datos.Operacion == 0 ? pagResumenDatos : pagDeteccion);
}
