// CNuvPropSheet: the wizard window. It holds the pages in the order they were added, shows one
// at a time with the wizard's buttons below ("<Atrás", "Siguiente>" or "Finalizar",
// "Cancelar"), and runs modally on the calling thread until a page lets it finish or cancel.
#pragma once

#include "outside/qelmfc/Wnd.h"

#include <string>
#include <vector>

class CApli;
class CMod;
class CNuvPropPage;

// The sheet's buttons: SetWizardButtons flags and button ids, with Windows' values.
constexpr DWORD PSWIZB_BACK = 0x1;
constexpr DWORD PSWIZB_NEXT = 0x2;
constexpr DWORD PSWIZB_FINISH = 0x4;
constexpr DWORD PSWIZB_DISABLEDFINISH = 0x8;
constexpr UINT ID_WIZBACK = 0x3023;
constexpr UINT ID_WIZNEXT = 0x3024;
constexpr UINT ID_WIZFINISH = 0x3025;
constexpr int PSBTN_BACK = 0;
constexpr int PSBTN_NEXT = 1;
constexpr int PSBTN_FINISH = 2;
constexpr int PSBTN_CANCEL = 3;

class QELMFC_API CNuvPropSheet : public CWnd
{
  public:
    // The application and module objects stay the caller's; the module's resources hold the
    // pages' dialog templates. pParent may be NULL.
    CNuvPropSheet(CApli *pApli, CMod *pMod, CWnd *pParent, UINT iSelectPage);
    ~CNuvPropSheet() override;

    void AddPage(CNuvPropPage *pPage);
    // One empty page after the last real one, as a wizard keeps to make its last page's Next a
    // real move.
    void AddPageEmpty();
    int GetPageCount() const;
    CNuvPropPage *GetPage(int nPage) const; // NULL for the empty page or out of range
    int GetActiveIndex() const;
    CNuvPropPage *GetActivePage() const;
    // Leaves the active page (OnKillActive) and activates nPage (creating it at its first
    // showing: OnInitDialog, then OnSetActive). FALSE when out of range or the page refuses.
    BOOL SetActivePage(int nPage);

    // Runs the sheet until it closes: ID_WIZFINISH, or IDCANCEL (also when the window could
    // not be made).
    INT_PTR DoModal();
    // Closes the sheet with the given result at the next turn of its loop.
    void EndDialog(INT_PTR nResult);

    // Buttons: which are enabled (PSWIZB_ flags; FINISH puts "Finalizar" in Next's place),
    // their captions (by ID_WIZBACK, ID_WIZNEXT, ID_WIZFINISH, IDCANCEL), and pressing one as
    // the user would (PSBTN_).
    void SetWizardButtons(DWORD dwFlags);
    void SetButtonText(UINT nIdBoton, const std::string &texto);
    std::string GetButtonText(UINT nIdBoton) const;
    void EnableButton(UINT nIdBoton, BOOL bEnable);
    BOOL IsButtonEnabled(UINT nIdBoton) const;
    BOOL IsButtonVisible(UINT nIdBoton) const;
    void PressButton(int nBoton);

    void SetTitle(const std::string &texto);
    std::string GetTitle() const;
    // The window's icon; the sheet keeps it.
    void SetIcon(HICON hIcono);

    // Overridables, called in this order by DoModal: PreCreateWindow, OnCreate (the window
    // exists: children may be made), OnInitDialog (the pages are added, before the first is
    // shown). OnHelpInfo answers F1 (nothing by default). OnQueryCancelAutoPlay answers the
    // shell's "QueryCancelAutoPlay" message: nonzero cancels AutoPlay.
    virtual BOOL PreCreateWindow();
    virtual int OnCreate();
    virtual BOOL OnInitDialog();
    virtual BOOL OnHelpInfo();
    virtual LRESULT OnQueryCancelAutoPlay();
    virtual void CalcWindowRect(RECT &rect);

    CApli *GetApli() const { return m_pApli; }
    CMod *GetMod() const { return m_pMod; }

    // Writes a picture of the window as it is drawn now to a PNG file; FALSE when it cannot.
    BOOL Capturar(const std::string &fichero);

    void *Widget() const;

  private:
    friend class CUsuarioGuion;
    struct Impl;
    Impl *m_p = nullptr;
    CApli *m_pApli;
    CMod *m_pMod;
    UINT m_iSelectPage;
    std::vector<CNuvPropPage *> m_pages; // nullptr is the empty page
    int m_nActiva = -1;
    INT_PTR m_nResultado = IDCANCEL;
    bool m_bTerminar = false;
    void Pulsar(int nBoton, bool bPrograma = false);
    void ActualizarBotones();
    void VigilarRegistro();
};
