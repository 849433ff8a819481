// CDlgChangeFirm (page 17: the firmware update run): the router's configuration is first kept
// in a dated backup beside the wizard; the modem component then sends the file to the router;
// its progress texts are kept and shown once the transfer has ended, then the page waits for
// the router to take the new firmware. With a backup, the router's settings are read again and,
// when the new firmware changed them, the user may have the backup put back.
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
        pasoSinCopia = 2,  // the backup failed: go on without it?
        pasoLanzar = 3,    // the modem component's run of the current stage, once it is free
        pasoRestaurar = 4, // the settings changed: put the backup back?
        pasoMostrar = 5,   // the kept texts, one at a time
        pasoAviso = 6,     // the settings could not be checked or put back: where the backup is
        pasoCompletado = 8,
        pasoFin = 9,
        pasoCerrar = 10,
        pasoRecomprobar = 11, // the router was not back yet: its settings asked for again
    };
    // What the modem component is doing for this page.
    enum class Etapa
    {
        Nada,
        Copiando,     // the router's configuration into the backup
        Actualizando, // the firmware
        Comprobando,  // the settings after the update into a temporary file
        Restaurando,  // the backup back onto the router
    };
    void Empezar();
    void Copiar();
    void Actualizar();
    void Comprobar();
    void Restaurar();
    void Lanzar(Etapa etapa);
    void LanzarAhora();
    void Mostrar();
    void Completado();
    void Error(const std::string &texto);
    void FinCopia(LONG lStatus, const std::string &texto);
    void FinActualizacion(LONG lStatus, const std::string &texto);
    void FinComprobacion(LONG lStatus, const std::string &texto);
    void FinRestauracion(LONG lStatus);
    void Avisar(UINT idTexto);
    // Before the wizard closes on a cancel: where the backup is, said once.
    void AvisarCopia();
    void Cerrar();

    std::deque<std::string> m_textos; // the progress texts of the current update
    size_t m_mostrados = 0;
    Etapa m_etapa = Etapa::Nada;
    Etapa m_lanzar = Etapa::Nada; // the stage waiting for the component to be free
    int m_ocupado = 0;
    int m_comprobaciones = 0; // downloads of the settings after the update
    std::string m_copia;      // the backup of this update; empty without one
    std::string m_leida;      // the settings read after the update
    std::string m_textoFallo; // why the backup failed
    UINT m_aviso = 0;
    bool m_bReintentado = false;
    bool m_bCancelando = false;
    bool m_bAvisado = false;
};
