// CDlgChangeFirm (page 17: the firmware update run): the modem component sends the file to the
// router; its progress texts are kept and shown once the transfer has ended, then the page waits
// for the router to take the new firmware.
#pragma once

#include "wizard/DlgProgreso.h"

#include <deque>
#include <string>

class CDlgChangeFirm : public CDlgProgreso
{
  public:
    CDlgChangeFirm();
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
        pasoEmpezar = 0,
        pasoReintentar = 1,
        pasoMostrar = 5, // the kept texts, one at a time
        pasoCompletado = 8,
        pasoFin = 9,
        pasoCerrar = 10,
    };
    void Empezar();
    void Actualizar();
    void Mostrar();
    void Error(const std::string &texto);

    std::deque<std::string> m_textos; // the progress texts of the current update
    size_t m_mostrados = 0;
    bool m_bActualizando = false; // the modem component runs the update for this page
    bool m_bReintentado = false;
    bool m_bCancelando = false;
};
