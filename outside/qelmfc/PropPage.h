// CNuvPropPage: one page of the wizard sheet. Its layout is the dialog template of its
// resource id (in the module given to the sheet), its controls are reached by id, and the
// sheet calls its virtual operations as a property-sheet wizard does.
#pragma once

#include "outside/qelmfc/Wnd.h"

#include <string>
#include <vector>

class CNuvPropSheet;

// What a control reports to its page (OnControl): the Windows notification codes.
constexpr UINT kNotifClic = 0;           // BN_CLICKED: a button, radio or check box pressed
constexpr UINT kNotifCambio = 0x0300;    // EN_CHANGE: the text of an edit field changed
constexpr UINT kNotifSeleccion = 1;      // CBN_SELCHANGE / LVN_ITEMCHANGED: another entry chosen
constexpr UINT kNotifDobleClic = 0xFFFD; // NM_DBLCLK: a double click on a list-view row
constexpr UINT kNotifCampoIp = 0xFCA6;   // IPN_FIELDCHANGED: a part of an IP address changed

// Standard icons for SetIcono.
enum class IconoEstandar
{
    Ninguno,
    Informacion,
    Error,
    Aviso,
    Pregunta,
};

class QELMFC_API CNuvPropPage : public CWnd
{
  public:
    explicit CNuvPropPage(UINT nIDTemplate);
    ~CNuvPropPage() override;

    UINT GetIDD() const { return m_nIDTemplate; }
    CNuvPropSheet *GetSheet() const { return m_pSheet; }

    // The sheet's calls. OnWizardNext and OnWizardBack return 0 to move to the neighbouring
    // page, -1 to stay (the page moved with SetActivePage itself, or refused); OnWizardFinish
    // and OnQueryCancel return TRUE to let the sheet close.
    virtual BOOL OnInitDialog();
    virtual BOOL OnSetActive();
    virtual BOOL OnKillActive();
    virtual LRESULT OnWizardNext();
    virtual LRESULT OnWizardBack();
    virtual BOOL OnWizardFinish();
    virtual BOOL OnQueryCancel();
    virtual void DoDataExchange();
    // Puts the page's texts from the string table into its controls.
    virtual HRESULT PonerTextos();
    virtual BOOL PreCreateWindow();
    // A control of the page reported something (a kNotif code).
    virtual void OnControl(UINT nId, UINT nCodigo);

    // The page's header: its title (bold Arial, one line, centred, cut with an ellipsis) and its
    // picture (shown at its size at the left; NULL shows none). The page keeps the bitmap.
    void SetTitulo(const std::string &texto);
    std::string GetTitulo() const;
    void SetFoto(HBITMAP hFoto);

    // Controls by id. Operations on an id the page does not have do nothing (FALSE, empty).
    BOOL TieneControl(UINT nId) const;
    void SetDlgItemText(UINT nId, const std::string &texto);
    std::string GetDlgItemText(UINT nId) const;
    void EnableDlgItem(UINT nId, BOOL bEnable);
    BOOL IsDlgItemEnabled(UINT nId) const;
    void ShowDlgItem(UINT nId, BOOL bShow);
    BOOL IsDlgItemVisible(UINT nId) const;
    void SetFocusDlgItem(UINT nId);
    void LimitText(UINT nId, int nMax);
    // Radio buttons and check boxes.
    void CheckDlgButton(UINT nId, BOOL bCheck);
    BOOL IsDlgButtonChecked(UINT nId) const;
    // Checks nCheck and clears the others of nFirst..nLast; GetCheckedRadioButton gives the
    // checked one of the range, 0 when none.
    void CheckRadioButton(UINT nFirst, UINT nLast, UINT nCheck);
    UINT GetCheckedRadioButton(UINT nFirst, UINT nLast) const;
    // Combo boxes (drop-down lists): entries by position.
    void ComboReset(UINT nId);
    int ComboAddString(UINT nId, const std::string &texto);
    int ComboGetCount(UINT nId) const;
    int ComboGetCurSel(UINT nId) const; // -1 with nothing selected
    void ComboSetCurSel(UINT nId, int nIndex);
    std::string ComboGetLBText(UINT nId, int nIndex) const;
    // IP address controls: the address as dotted text, blank parts read as 0, and the number
    // of parts the user filled (0 to 4). An empty or "0.0.0.0" text clears the control.
    int IpGetAddress(UINT nId, std::string &direccion) const;
    void IpSetAddress(UINT nId, const std::string &direccion);
    void IpClearAddress(UINT nId);
    // List views in report mode.
    void ListaInsertColumn(UINT nId, int nCol, const std::string &titulo, int nAncho);
    int ListaInsertItem(UINT nId, int nFila, const std::string &texto);
    void ListaSetItemText(UINT nId, int nFila, int nCol, const std::string &texto);
    std::string ListaGetItemText(UINT nId, int nFila, int nCol) const;
    int ListaGetItemCount(UINT nId) const;
    void ListaDeleteItem(UINT nId, int nFila);
    void ListaDeleteAllItems(UINT nId);
    int ListaGetSelectedItem(UINT nId) const; // -1 with nothing selected
    void ListaSelectItem(UINT nId, int nFila);
    // Static icons (SS_ICON controls).
    void SetIcono(UINT nId, IconoEstandar icono);

    // Where a control lies in the page's client area, in pixels; FALSE without it.
    BOOL GetDlgItemRect(UINT nId, RECT &rect) const;

    // The page's widget and the widget of its template's content, for the binding (opaque
    // outside it).
    void *Widget() const;
    void *Contenido() const;

  private:
    friend class CNuvPropSheet;
    friend class CUsuarioGuion;
    struct Impl;
    Impl *m_p = nullptr;
    UINT m_nIDTemplate;
    CNuvPropSheet *m_pSheet = nullptr;
    BOOL m_bCreada = FALSE;
    // Called by the sheet: builds the page's window and controls from its template.
    BOOL Crear(CNuvPropSheet *pSheet, HMODULE hRecursos);
};
