// CDlgDeteccion (page 4: the requirements check).
#pragma once

#include "wizard/DlgBase.h"

class CDlgDeteccion : public CDlgBase
{
  public:
    CDlgDeteccion();
    BOOL OnSetActive() override;
};
