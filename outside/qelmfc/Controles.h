// Inside the binding only: the controls of a page, made from the items of its dialog template.
#pragma once

#include "tools/rc/RcFormat.h"

#include "platform/windows.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QLineEdit;

namespace qelmfc
{
enum class Tipo
{
    Texto,       // static text
    Icono,       // SS_ICON / SS_BITMAP static
    Marco,       // frames and rectangles
    Boton,       // push button
    Radio,       // radio button
    Casilla,     // check box
    Grupo,       // group box
    Edicion,     // edit field
    Combo,       // combo box
    Lista,       // list view (report mode)
    DireccionIp, // IP address control
    Desconocido, // a class the binding does not draw: an empty frame keeps its place
};

struct Control
{
    UINT id = 0;
    Tipo tipo = Tipo::Desconocido;
    QWidget *widget = nullptr;
    std::string texto; // the template's text (for controls without a text of their own)
};

// The four parts of an IP address control; each takes 0 to 255.
class CampoIp : public QWidget
{
  public:
    explicit CampoIp(QWidget *padre);
    // Dotted text with blank parts as 0, and the number of parts filled.
    int Leer(std::string &direccion) const;
    void Poner(const std::string &direccion);
    void Vaciar();
    QLineEdit *Parte(int i) const { return partes_[i]; }
    // Called when the user changes a part.
    std::function<void()> alCambiar;

  private:
    QLineEdit *partes_[4];
};

// Dialog units to pixels with the dialog font's base units (MS Sans Serif 8: 6 x 13), as
// Windows lays out a template.
int PixelesX(int du);
int PixelesY(int du);

// The page's font: MS Sans Serif 8 or its nearest on this system.
QFont FuenteDialogo();

// Makes the control of one template item inside the content widget; its notifications go to
// notificar(id, code). Radio buttons of one group (WS_GROUP starts a group) share grupo.
Control CrearControl(const kitrc::DialogItem &item, QWidget *contenido, QButtonGroup *&grupo,
                     const std::function<void(UINT, UINT)> &notificar);
} // namespace qelmfc
