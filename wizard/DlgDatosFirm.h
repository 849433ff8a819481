// CDlgDatosFirm (page 9: the firmware file and the adapter).
#pragma once

#include "wizard/DlgBase.h"

#include <string>

class CDlgDatosFirm : public CDlgBase
{
  public:
    CDlgDatosFirm();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
    void OnControl(UINT nId, UINT nCodigo) override;

    // The firmware file is there: a file search for the exact path finds it (a folder too).
    static bool ExisteFichero(const std::string &ruta);
    // The text of the box that says it is not: string 215 with the path.
    static std::string TextoSinFichero(const std::string &ruta);

  private:
    void Examinar();
    // Next only with a path and an adapter.
    void ActualizarBotones();
};
