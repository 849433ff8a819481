// Inside the binding only: what a page holds besides its MFC-style face.
#pragma once

#include "outside/qelmfc/Controles.h"
#include "outside/qelmfc/PropPage.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

namespace qelmfc
{
// The page's title: bold Arial, one line, centred both ways, cut with an ellipsis, drawn on
// the page's background.
class Titulo : public QWidget
{
  public:
    explicit Titulo(QWidget *padre);
    void Poner(const QString &texto);
    const QString &Texto() const { return texto_; }

  protected:
    void paintEvent(QPaintEvent *) override;

  private:
    QString texto_;
};
} // namespace qelmfc

struct CNuvPropPage::Impl
{
    QPointer<QWidget> pagina; // owned by the sheet once shown, else by the page
    QLabel *foto = nullptr;
    qelmfc::Titulo *titulo = nullptr;
    QWidget *contenido = nullptr;
    std::vector<qelmfc::Control> controles;
    HBITMAP hFoto = nullptr;
    bool activa = false; // shown in the sheet: text changes are status lines of the transcript

    const qelmfc::Control *Buscar(UINT id) const;
    // The page as the user sees it, one line per visible control, for the transcript.
    std::vector<std::string> Describir() const;
};
