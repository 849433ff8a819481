// Inside the binding only: the Qt application of the process and the conversion of the kit's
// Windows 1252 texts to and from Qt's.
#pragma once

#include "platform/windows.h"

#include <QString>

#include <string>

namespace qelmfc
{
// Makes the process's QApplication on the calling thread the first time it is needed. Without
// a display (or with a script) Qt's offscreen platform is used, so nothing needs a screen.
void AsegurarAplicacion();

QString Texto(const std::string &ansi);
std::string Ansi(const QString &texto);

// The record of what was shown (Interfaz.h: LineasVistas...).
void AnotarLinea(const std::string &linea);
void AnotarPagina(int indice, UINT dialogo, const std::string &titulo);
void AnotarMensaje(const std::string &titulo, const std::string &texto, const std::string &respuesta);
} // namespace qelmfc
