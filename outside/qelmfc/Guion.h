// CGuion: the scripted user of an unattended run or a test. An answers file says, page by page,
// what a person would do (choose, type, press) and how each message box and file dialog is
// answered:
//
//   ; comments start with ';' or '#'
//   [Página 2004]             wait for the page of dialog 2004 to be shown (also [Pagina 2004])
//   Espera=30000              how long to wait for the page and its buttons, ms (default 60000)
//   Elegir=1101               press a radio button or check box by control id
//   Escribir 1003=80.58.1.10  type into an edit field or IP address control
//   Escribir 1766=" 23"       the same, the blanks inside the quotes kept
//   Seleccionar 1005=Realtek  choose a combo box entry (or list-view row) by its text
//   DobleClic 1761=80         double-click a list-view row, found by its first column's text
//   Pulsar=Siguiente>         press a sheet button by its caption, or a page button by id or caption
//   Captura=pagina.png        save a picture of the window
//   Mirar=                    write the page as it stands now to the transcript
//   Esperar=500               let time pass, ms
//   Esperar 1001=Enviando     wait (as for a page) until control 1001's text starts so
//   [Mensaje]                 the next message box:
//   Título=Cancelar asistente   its caption must be this (optional)
//   Texto=¿Está seguro          its text must start with this (optional)
//   Respuesta=Sí                the button pressed: Aceptar Cancelar Anular Reintentar Omitir Sí No
//   [Fichero]                 the next open-file dialog:
//   Título=Abrir                its caption must be this (optional)
//   Ruta=C:\temp\ras.bin        the file chosen; "C:\" is the PC's own folder, other paths go as
//                               written
//   Respuesta=Cancelar          or the dialog is cancelled
//
// A standing answer (ResponderSiempre) answers every box of its caption, ahead of the script's
// own [Mensaje] steps, which such boxes never reach.
//
// The file is Windows 1252 or UTF-8 text. A step that cannot be done (a page that never comes,
// a button that never enables, a box or dialog the script does not expect) stops the run with a
// message naming the file and line; the script never guesses. When the steps run out the wizard
// is closed where it stands. A program without a sheet uses only [Mensaje] and [Fichero] steps.
#pragma once

#include "outside/qelmfc/Export.h"
#include "platform/windows.h"

#include <functional>
#include <memory>
#include <string>

class CNuvPropSheet;

class QELMFC_API CGuion
{
  public:
    CGuion();
    ~CGuion();
    CGuion(const CGuion &) = delete;
    CGuion &operator=(const CGuion &) = delete;

    // Reads the steps; false with Error() naming the line of the first fault.
    bool Cargar(const std::string &fichero);
    bool CargarTexto(const std::string &texto, const std::string &nombre = "guion");
    // The script ends at the first page of dialog `dialogo`: what it says to do there and after
    // is dropped and `pasos` (steps in the file's format, the page's own first) done instead.
    // False, with Error(), when the script never reaches that page or `pasos` is wrong.
    bool TerminarEn(UINT dialogo, const std::string &pasos);
    // A step of a test's own: fn runs with the sheet when the script reaches it.
    void AgregarLlamada(std::function<void(CNuvPropSheet &)> fn);

    const std::string &Error() const;
    bool Fallido() const;
    // The sheet closed because every step was done.
    bool Completo() const;
    // For a program without a sheet, at its end: true when every step was done; otherwise the
    // run fails at the first step left (Error() and the transcript name its line).
    bool Concluir();
    // Where the sheet stood when it closed: page index and its dialog id (-1 and 0 for none).
    int PaginaFinal() const;
    UINT DialogoFinal() const;

    // The sheet's and the message boxes' calls.
    void Empezar(CNuvPropSheet &hoja);
    void Terminar(CNuvPropSheet &hoja);
    // Every box of that caption (Windows 1252) is answered with `respuesta` (IDYES...) from now
    // on; a box of that caption without that button stops the run.
    void ResponderSiempre(const std::string &titulo, int respuesta);
    // The answer to a box (IDOK...), or 0 when the script has none for it (the run stops).
    int ResponderMensaje(const std::string &titulo, const std::string &texto, UINT tipo);
    // The answer to an open-file dialog: true with the path as the script wrote it, false when
    // it cancels or has none for it (the run stops).
    bool ResponderFichero(const std::string &titulo, std::string &ruta);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
