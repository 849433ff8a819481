// CDlgPuertos (page 18: the port mapping): the ports the router hands to PCs of the private
// network, read back from the router, edited row by row and stored for the configuration run.
#pragma once

#include "wizard/DlgBase.h"

#include <string>

class CDlgPuertos : public CDlgBase
{
  public:
    CDlgPuertos();
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    void OnControl(UINT nId, UINT nCodigo) override;
    LRESULT OnWizardNext() override;
    // Back to the summary: the page before is the firmware update, no step of this road.
    LRESULT OnWizardBack() override;

  private:
    // What the two fields under the list are for.
    enum Modo
    {
        modoConsulta,  // fields empty and closed
        modoAgregar,   // a new row
        modoModificar, // the row m_nFila
    };

    // The rows of a list text: the default row first, always.
    void Llenar(const std::string &lista);
    // The list text of the rows that have a usable address.
    std::string Lista() const;
    void PonerModo(Modo modo);

    void Agregar();
    void Modificar();
    void Eliminar();
    // Applies the fields to the list, or refuses them with their box; then back to browsing
    // either way.
    void Actualizar();
    // The checks of Actualizar, in order; false after the refusing box.
    bool PuertoAceptado(const std::string &puerto);
    bool DireccionAceptada(const Direccion &ip);
    bool PuertoNuevo(const std::string &puerto);
    // True without an error (0); otherwise its refusing box, and false.
    bool Comprobado(UINT idError, UINT idTitulo);

    Modo m_modo = modoConsulta;
    int m_nFila = -1;
};
