// CAnimacion: an AVI file's frames drawn one by one into an 80 x 48 picture on a window.
#include "outside/qelmfc/Animacion.h"
#include "outside/qelmfc/Avi.h"
#include "outside/qelmfc/PaginaImpl.h"
#include "outside/qelmfc/PropPage.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>

#include <vector>

struct CAnimacion::Impl
{
    qelmfc::CAviFile avi;
    QPointer<QLabel> lienzo; // on the window; goes with it
    int frame = -1;

    bool Pintar()
    {
        std::vector<std::uint32_t> pixeles;
        if (!lienzo || !avi.Frame(frame, pixeles))
            return false;
        const QImage cuadro(reinterpret_cast<const uchar *>(pixeles.data()), avi.Width(), avi.Height(),
                            avi.Width() * 4, QImage::Format_RGB32);
        // The off-screen bitmap: the frame centred on it, cut to its size.
        QImage fuera(kAncho, kAlto, QImage::Format_RGB32);
        fuera.fill(lienzo->palette().color(QPalette::Window));
        QPainter pintor(&fuera);
        pintor.drawImage((kAncho - avi.Width()) / 2, (kAlto - avi.Height()) / 2, cuadro);
        pintor.end();
        lienzo->setPixmap(QPixmap::fromImage(fuera));
        return true;
    }
};

CAnimacion::CAnimacion() : m_p(std::make_unique<Impl>()) {}

CAnimacion::~CAnimacion()
{
    PararAVI();
}

HRESULT CAnimacion::ArrancarAVI(HDC, LPCSTR pszFichero, CWnd *pVentana, POINT pos)
{
    PararAVI();
    auto *pagina = dynamic_cast<CNuvPropPage *>(pVentana);
    if (!pagina || !pszFichero)
        return E_INVALIDARG;
    QWidget *contenido = static_cast<QWidget *>(pagina->Contenido());
    if (!contenido || !m_p->avi.Open(pszFichero))
        return E_FAIL;
    m_p->lienzo = new QLabel(contenido);
    m_p->lienzo->setGeometry(pos.x, pos.y, kAncho, kAlto);
    m_p->lienzo->show();
    m_p->frame = 0;
    if (!m_p->Pintar())
    {
        PararAVI();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CAnimacion::MoverAVI(HDC)
{
    if (m_p->frame < 0 || !m_p->lienzo)
        return S_FALSE;
    m_p->frame = (m_p->frame + 1) % m_p->avi.FrameCount();
    return m_p->Pintar() ? S_OK : E_FAIL;
}

void CAnimacion::PararAVI()
{
    delete m_p->lienzo.data();
    m_p->frame = -1;
}

int CAnimacion::FrameActual() const
{
    return m_p->frame;
}
