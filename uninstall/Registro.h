// The registry side of an uninstall: the shared-library counters, the keys the installer made
// its own, the values it wrote put back as they were, and the maker's empty keys.
#pragma once

#include "uninstall/InstallLog.h"

#include <optional>
#include <string>

// The SharedDlls counter of a library (its value found by short path); none when not listed.
// `abierta` is false when the key cannot be opened.
std::optional<DWORD> ContadorCompartido(const std::string &dll, bool *abierta = nullptr);
// One user fewer: 1 deletes the value, more writes the count less one. False when the key cannot
// be opened.
bool DescontarCompartido(const std::string &dll);
// A library still used by another product: listed with a non-zero count.
bool SigueCompartida(const std::string &dll);

// "HKEY_LOCAL_MACHINE\Software\..." deleted with all its subkeys; other roots: nothing. A root,
// a key straight under one, the keys Windows and COM live in and the maker's keys are refused.
void BorrarClaveEntera(const std::string &raizYClave);
// The value as it was before the installation, or deleted when there was none; then the key
// when it holds nothing.
void DeshacerRegistro(const CRegistroLog &registro);
// The product key when empty, and each empty parent up to (not including) the maker key.
void BorrarClavesVacias(const std::string &claveProducto, const std::string &claveFabricante);
// The number of subkeys of a key of HKEY_LOCAL_MACHINE; -1 when it cannot be opened.
int Subclaves(const std::string &clave);

// A value of a key of HKEY_LOCAL_MACHINE, written or deleted.
bool EscribirTexto(const char *clave, const std::string &nombre, const std::string &texto);
void BorrarValor(const char *clave, const std::string &nombre);
std::optional<std::string> LeerTexto(const std::string &clave, const char *nombre);
