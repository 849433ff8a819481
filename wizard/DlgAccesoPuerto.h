// CDlgAccesoPuerto (page 15: reading the router over the console).
#pragma once

#include "wizard/DlgBase.h"

class CDlgAccesoPuerto : public CDlgBase
{
  public:
    CDlgAccesoPuerto();
    BOOL OnSetActive() override;
};
