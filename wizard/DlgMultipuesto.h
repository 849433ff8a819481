// CDlgMultipuesto (page 10: the private addressing of several PCs): the router's DHCP server
// or manual addresses, and the router's address.
#pragma once

#include "wizard/DlgBase.h"

class CDlgMultipuesto : public CDlgBase
{
  public:
    CDlgMultipuesto();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnControl(UINT nId, UINT nCodigo) override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;

  private:
    // The choice (0 DHCP, 1 manual, -1 none) and its fields.
    int Eleccion() const;
    UINT CampoIp(int eleccion) const;
    UINT CampoMascara(int eleccion) const;
    // Checks the choice and enables its fields (the other pair disabled).
    void Elegir(int eleccion);
    void Poner(int eleccion, const std::string &ip, const std::string &mascara, const std::string &router);
};
