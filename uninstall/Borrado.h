// Deleting what the installation left: files (a file in use goes at the next start of
// Windows), folder trees, and the short paths the uninstaller compares and writes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The temporary folder, ending in a separator.
std::string CarpetaTemporal();
// Writes the bytes as the whole file.
bool EscribirFichero(const std::string &fichero, const void *datos, size_t tam);
// The whole of a file; none when it cannot be opened.
std::optional<std::string> LeerFichero(const std::string &fichero);
// Deletes a file. An empty path, a file that is not there and a file in use (scheduled for the
// next start: MoveFileEx on the NT family, a "NUL=" line of Wininit.ini's [rename] on 9x) count
// as done; any other failure does not.
bool BorrarFichero(const std::string &fichero, bool esNt);
// Deletes every file under `carpeta`, its subfolders, and the folder; failures are ignored.
void BorrarArbol(const std::string &carpeta);
// The 8.3 form of a path, or the path itself when Windows cannot give one.
std::string RutaCorta(const std::string &ruta);
// Same file or folder by their short paths, without regard to case.
bool MismaRuta(const std::string &a, const std::string &b);
// Deletion at the next start on 9x: "NUL=<short path>" right after Wininit.ini's [rename].
bool BorrarAlReiniciar9x(const std::string &fichero);
