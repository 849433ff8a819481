// CDlgConectividad (page 12: the connectivity check): the adapter's current TCP/IP settings
// give the router's candidate addresses; the modem component tries each; with several PCs the
// router's settings are downloaded to edit its ports.
#pragma once

#include "common/param/TcpipParamPtr.h"
#include "outside/daxicom/GetTcpipConfig2.h"
#include "wizard/DlgProgreso.h"

class CDlgConectividad : public CDlgProgreso
{
  public:
    CDlgConectividad();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;

  protected:
    void Paso(UINT paso) override;
    void OnStart(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    void OnProgreso(UINT nIdControl, const std::string &texto) override;
    bool PararComponente() override;

  private:
    enum : UINT
    {
        pasoLeerTcpip = 0,
        pasoCandidatos = 1,
        pasoComprobar = 2,
        pasoSeguir = 5,
        pasoSinConectividad = 6,
        pasoCerrar = 7,
        pasoDescargar = 8,
        pasoOcupado = 17, // the busy wait before the download; runs the download step again
        pasoPuertos = 16,
        pasoFallo = 20,
    };
    // What the modem component is doing for this page.
    enum class Modem
    {
        Nada,
        Comprobando,
        Descargando,
    };
    void LeerTcpip();
    void Candidatos();
    void Comprobar();
    void Descargar();
    void Puertos();
    void Seguir();
    void Fallo(const std::string &textoTcpip);
    void EstadoInicial();

    CGetTcpipConfig2 m_leer;
    Modem m_modem = Modem::Nada;
    int m_progresos = 0;
    int m_ocupado = 0;
    bool m_bCancelando = false;
};

namespace asistente
{
// The addresses the router is looked for at, comma-separated, from the adapter's current
// settings; false when they cannot be read.
bool DireccionesDelRouter(const TcpipParamPtr &actual, std::string &lista);
} // namespace asistente
