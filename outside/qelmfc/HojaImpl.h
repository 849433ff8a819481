// Inside the binding only: the sheet's window and buttons.
#pragma once

#include "outside/qelmfc/PropSheet.h"

#include "platform/kit/kitwindow.h"

#include <QDialog>

#include <functional>
#include <map>
#include <string>

class QEventLoop;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace qelmfc
{
// The sheet's top-level window: closing it or pressing Escape is the Cancel button.
class VentanaHoja : public QDialog
{
  public:
    std::function<void()> alCancelar;

  protected:
    void reject() override;
    void closeEvent(QCloseEvent *evento) override;
};
} // namespace qelmfc

struct CNuvPropSheet::Impl : kitwin::WindowBackend
{
    // This process's own changes to the window's record are not another program's.
    void OnTextChanged(HWND h, const std::string &) override { Visto(h); }
    void OnShow(HWND h, int nCmdShow) override;
    void OnForeground(HWND h) override { Visto(h); }
    void Visto(HWND h)
    {
        kitwin::WindowState estado;
        if (kitwin::ReadWindowState(h, estado))
            cambiosVistos = estado.changes;
    }

    qelmfc::VentanaHoja *ventana = nullptr;
    QStackedWidget *pila = nullptr;
    QWidget *vacia = nullptr; // the empty page
    QPushButton *atras = nullptr;
    QPushButton *siguiente = nullptr;
    QPushButton *finalizar = nullptr;
    QPushButton *cancelar = nullptr;
    QEventLoop *bucle = nullptr;
    QTimer *vigia = nullptr; // the window record, changed by other programs
    DWORD cambiosVistos = 0;
    std::string titulo;
    HICON hIcono = nullptr;
    std::string lineaBotones; // the last buttons line of the transcript

    QPushButton *Boton(UINT id) const;
    std::string DescribirBotones() const;
};
