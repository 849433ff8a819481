// CDlgEleccion: a page that asks for one of two choices (radio buttons) and stores it in the run
// record: the operation, the configuration mode and the addressing mode.
#pragma once

#include "wizard/DlgBase.h"

class CDlgEleccion : public CDlgBase
{
  protected:
    // The two choices are the values 0 and 1 of the record's field; `inicial` is the choice
    // made at first (-1: none). Next is enabled only while one is chosen.
    CDlgEleccion(UINT nIDTemplate, UINT nIdTitulo, std::vector<Texto> textos, UINT idCero, UINT idUno,
                 DWORD &campo, int inicial);
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnControl(UINT nId, UINT nCodigo) override;
    LRESULT OnWizardNext() override;
    // Where Next goes for the stored choice.
    virtual LRESULT Siguiente(DWORD eleccion) = 0;
    // Whether the resumed run's saved value is the one shown.
    virtual bool MostrarGuardado() const;
    int Elegida() const;

  private:
    UINT m_idCero, m_idUno;
    DWORD &m_campo;
    int m_inicial;
    void PonerBotones();
};

// Page 1: configure, or update the firmware.
class CDlgOperacion : public CDlgEleccion
{
  public:
    CDlgOperacion();

  protected:
    LRESULT Siguiente(DWORD eleccion) override;
};

// Page 2: one PC ("monopuesto") or several PCs ("multipuesto").
class CDlgModoConf : public CDlgEleccion
{
  public:
    CDlgModoConf();

  protected:
    LRESULT Siguiente(DWORD eleccion) override;
};

// Page 3: static or dynamic public addressing.
class CDlgModoDirec : public CDlgEleccion
{
  public:
    CDlgModoDirec();

  protected:
    LRESULT Siguiente(DWORD eleccion) override;
    bool MostrarGuardado() const override;
};
