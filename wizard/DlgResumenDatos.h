// CDlgResumenDatos (page 11: the summary of the answers), line by line for the mode chosen. Its
// "Detalles..." button shows what the configuration run would change, found by the components
// themselves without changing anything (see VistaPrevia.h).
#pragma once

#include "common/param/TcpipParamPtr.h"
#include "outside/daxicom/GetTcpipConfig2.h"
#include "outside/daxicom/SetTcpipConfig2.h"
#include "wizard/DlgProgreso.h"
#include "wizard/VistaPrevia.h"

#include <memory>
#include <string>
#include <vector>

class CDlgResumenDatos : public CDlgProgreso
{
  public:
    CDlgResumenDatos();
    ~CDlgResumenDatos();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
    BOOL OnQueryCancel() override;
    void OnControl(UINT nId, UINT nCodigo) override;

  protected:
    void Paso(UINT paso) override;
    void OnEnd(UINT nIdControl, LONG lStatus, const std::string &texto) override;
    bool PararComponente() override;

  private:
    enum : UINT
    {
        pasoLeerTcpip = 1,
        pasoRouter = 2,
        pasoTcpip = 3,
        pasoGenerar = 5,
        pasoMostrar = 4,
        pasoCerrar = 7,
    };
    // What the preview is waiting for.
    enum class Espera
    {
        Nada,
        LecturaTcpip,
        BusquedaRouter,
        DescargaRouter,
        EscrituraTcpip,
    };
    struct Previa;

    void Empezar();
    void LeerTcpip();
    void LecturaTerminada(LONG lStatus);
    void Router();
    void RouterEncontrado(LONG lStatus, const std::string &texto);
    void Generar();
    void RouterDescargado(LONG lStatus, const std::string &texto);
    void Tcpip();
    void TcpipEscrito(LONG lStatus);
    void Mostrar();
    // Everything the preview took is put back and its scratch folder removed.
    void Deshacer();
    void Botones();

    CGetTcpipConfig2 m_leer;
    CSetTcpipConfig2 m_tcpip;
    std::unique_ptr<Previa> m_previa; // while a preview runs
    Espera m_espera = Espera::Nada;
    bool m_bCancelando = false;
    int m_ocupado = 0;
};
