// CApliKIT and CModKIT: the kit's application object and the module object of the code that
// creates one, as the wizard hands them to its sheet.
#pragma once

#include "comun/Apli.h"
#include "comun/Mod.h"
#include "outside/qelapli/Export.h"

// The kit's application: the host program that runs the wizard. Its folder is the program's;
// its registry key is the one under which every application of the kit keeps its values.
class QELAPLI_API CApliKIT : public CApli
{
  public:
    CApliKIT();
    ~CApliKIT() override;

    // "KIT", "1.0" and "SOFTWARE\NUV\DAX".
    HRESULT VerNombre(std::string &nombre) const override;
    HRESULT VerVersion(std::string &version) const override;
    HRESULT VerClaveRegistro(std::string &clave) const override;
    // The folder of the running program, without the trailing separator.
    HRESULT VerDir(std::string &dir) const override;
};

// The module whose code constructs the object (the wizard library when the wizard makes it),
// open at once and bound to the kit's application; IsOpen is FALSE when the module cannot be
// found.
class QELAPLI_API CModKIT : public CMod
{
  public:
    CModKIT();
    ~CModKIT() override;

  private:
    CApliKIT m_apli;
};
