// CDlgBase: what every page of the wizard shares: its picture and title, its texts from the
// string table, the default buttons, the cancel confirmation of its group and moving by index.
#pragma once

#include "outside/qelmfc/PropPage.h"
#include "wizard/Paginas.h"

#include <string>
#include <vector>

class CWizard97Sheet;

class CDlgBase : public CNuvPropPage
{
  public:
    // How a page answers Cancel.
    enum Cancelar
    {
        cancelarPreguntando,       // asks every time
        cancelarPreguntandoUnaVez, // asks until the user said Yes once
        cancelarYParar,            // asks, then stops the component the page runs
        cancelarSinPreguntar,      // closes at once
    };

    // A control and the string its text comes from.
    struct Texto
    {
        UINT idControl;
        UINT idCadena;
    };

    CDlgBase(UINT nIDTemplate, UINT nIdTitulo, Cancelar cancelar, std::vector<Texto> textos = {});

    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    HRESULT PonerTextos() override;

  protected:
    CWizard97Sheet &Hoja() const;
    // Activates the page of that index; what OnWizardNext/OnWizardBack then return.
    LRESULT IrA(int pagina);
    // The default captions: "Siguiente>", "<Atrás", "Cancelar".
    void BotonesPorDefecto();
    // A box with the page's window as owner.
    int Mensaje(UINT idTexto, UINT idTitulo, UINT tipo);
    int Mensaje(const std::string &texto, UINT idTitulo, UINT tipo);
    // The error box of a refused entry (error icon, OK); what the page's Next returns then.
    LRESULT Rechazar(UINT idTexto, UINT idTitulo);
    // An IP address control read as the user left it: dotted text (blank parts as 0) and the
    // number of parts filled; an empty or "0.0.0.0" value clears it.
    struct Direccion
    {
        std::string texto;
        int partes = 0;
        bool Completa() const { return partes == 4; }
    };
    Direccion LeerDireccion(UINT idControl) const;
    // A text of several lines for the host's transcript (a plan handed to a component): its
    // first line as a note, the rest under it.
    static void Transcribir(const std::string &texto);
    // Closes the wizard as Cancel does, without asking.
    void CerrarSinPreguntar();
    // The adapter list of pages 6, 8 and 9: the usable adapters by name, the remembered one
    // chosen (compared without case), else the first with the kit's card, else the first. It is
    // filled again only when the remembered name has changed since.
    void LlenarAdaptadores(UINT idCombo, const std::string &recordado);
    // The adapter chosen, empty without one.
    std::string AdaptadorElegido(UINT idCombo) const;

    // The component the page runs, stopped after a confirmed cancel (cancelarYParar); true when
    // one was running: the page stays until its End event closes the wizard.
    virtual bool PararComponente() { return false; }

  private:
    UINT m_nIdTitulo;
    Cancelar m_cancelar;
    std::vector<Texto> m_textos;
    bool m_bCancelado = false;
    bool m_bAdaptadores = false;
    std::string m_adaptadorMostrado;
};
