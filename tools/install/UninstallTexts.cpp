#include "tools/install/UninstallTexts.h"

#include <iterator>

namespace
{
const UninstallText kTexts[] = {
    {"IDS_UNINSTALL_ATENCION", "Atención"},
    {"IDS_UNINSTALL_APLICACION", "Kit ADSL"},
    {"IDS_UNINSTALL_NO_INSTALL_LOG",
     "No se puede abrir el archivo %s.\\nNo es posible desinstalar la aplicación."},
    {"IDS_UNINSTALL_SO_CORRECTO",
     "Este programa necesita Windows 95, 98, Me, NT 4.0 o posterior.\\nNo se puede desinstalar en este "
     "sistema operativo."},
    {"IDS_UNINSTALL_NOADMIN", "Para desinstalar %s debe iniciar la sesión como administrador del equipo."},
    {"IDS_UNINSTALL_APLICACION_EN_USO",
     "La aplicación se está ejecutando.\\nCiérrela antes de desinstalarla."},
    {"IDS_UNINSTALL_CONFIRMARDES", "¿Desea desinstalar %s y todos sus componentes?"},
    {"IDS_UNINSTALL_RUNONCE",
     "Algunos archivos de la aplicación están en uso.\\nLa desinstalación se completará la próxima vez "
     "que inicie la sesión.\\n\\n¿Desea cerrar la sesión ahora?"},
    {"IDS_UNINSTALL_CERRAR_APLICACION",
     "No se ha podido anular el registro de los componentes.\\nCierre la aplicación e inténtelo de nuevo."},
    {"IDS_UNINSTALL_DESREGISTRANDO", "Anulando el registro de los componentes..."},
    {"IDS_UNINSTALL_BORRANDOFIC", "Eliminando archivos..."},
    {"IDS_UNINSTALL_BORRANDOREG", "Eliminando entradas del Registro..."},
    {"IDS_UNINSTALL_NODESINSTALADO", "%s no se ha desinstalado completamente."},
    {"IDS_UNINSTALL_REINICIOWIN",
     "La desinstalación ha terminado.\\nPara completarla es necesario reiniciar Windows.\\n\\n¿Desea "
     "reiniciar ahora?"},
};
} // namespace

std::span<const UninstallText> UninstallTexts()
{
    return kTexts;
}
