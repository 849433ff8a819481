// The support bundle and the run report.
#include "wizard/Soporte.h"
#include "wizard/Ficheros.h"
#include "wizard/Json.h"
#include "wizard/Recogida.h"

#include "outside/daxicom/ControlKit.h"
#include "outside/daxicom/Eventos.h"
#include "outside/qelmfc/Interfaz.h"
#include "platform/windows.h"

#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace soporte
{
namespace
{
constexpr char kManifiesto[] = "manifiesto.txt";

std::string Fecha(const char *formato)
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char texto[32];
    std::snprintf(texto, sizeof texto, formato, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return texto;
}

bool EscribirFichero(const std::string &fichero, const std::string &bytes, std::string &motivo)
{
    if (asistente::EscribirFichero(fichero, bytes))
        return true;
    motivo = "no se puede escribir " + fichero + " (error " + std::to_string(GetLastError()) + ")";
    return false;
}

// The state of the PC and the router: the pieces both reports hold.
std::vector<Pieza> EstadoFinal()
{
    return {AjustesRouter(), RegistroTcpip(), Rutas(), AgendaRas(), PerfilEnterNet()};
}

std::string Manifiesto(const std::vector<Pieza> &piezas)
{
    std::string texto =
        "Informe para el servicio técnico\r\nFecha: " + Fecha("%04u-%02u-%02u %02u:%02u:%02u") +
        "\r\n\r\nEntradas:\r\n";
    for (const Pieza &p : piezas)
        if (p.falta.empty())
            texto += "  " + p.nombre + "  " + std::to_string(p.bytes.size()) + " bytes" +
                     (p.nota.empty() ? "" : "  (" + p.nota + ")") + "\r\n";
    texto += "\r\nNo recogido:\r\n";
    bool alguna = false;
    for (const Pieza &p : piezas)
        if (!p.falta.empty())
        {
            alguna = true;
            texto += "  " + p.nombre + ": " + p.falta + "\r\n";
        }
    if (!alguna)
        texto += "  (nada)\r\n";
    return texto;
}

struct CerrarZip
{
    void operator()(zip_t *z) const { zip_discard(z); }
};
struct LiberarFuente
{
    void operator()(zip_source_t *s) const { zip_source_free(s); }
};

// The archive built in memory: libzip only sees bytes, the file is written through the platform.
bool Comprimir(const std::vector<Pieza> &piezas, std::string &archivo, std::string &motivo)
{
    zip_error_t error;
    zip_error_init(&error);
    std::unique_ptr<zip_source_t, LiberarFuente> memoria(zip_source_buffer_create(nullptr, 0, 0, &error));
    std::unique_ptr<zip_t, CerrarZip> zip(memoria ? zip_open_from_source(memoria.get(), ZIP_TRUNCATE, &error)
                                                  : nullptr);
    if (!zip)
    {
        motivo = std::string("zip: ") + zip_error_strerror(&error);
        zip_error_fini(&error);
        return false;
    }
    zip_error_fini(&error);
    zip_source_keep(memoria.get()); // the archive's close must leave the bytes to us
    for (const Pieza &p : piezas)
    {
        if (!p.falta.empty())
            continue;
        zip_source_t *fuente = zip_source_buffer(zip.get(), p.bytes.data(), p.bytes.size(), 0);
        if (!fuente || zip_file_add(zip.get(), p.nombre.c_str(), fuente, ZIP_FL_ENC_GUESS) < 0)
        {
            zip_source_free(fuente);
            motivo = "zip: " + p.nombre + ": " + zip_strerror(zip.get());
            return false;
        }
    }
    if (zip_close(zip.get()) != 0)
    {
        motivo = std::string("zip: ") + zip_strerror(zip.get());
        return false;
    }
    zip.release();
    zip_stat_t estado;
    if (zip_source_stat(memoria.get(), &estado) != 0 || zip_source_open(memoria.get()) != 0)
    {
        motivo = "zip: el archivo hecho no se puede leer";
        return false;
    }
    archivo.resize(static_cast<std::size_t>(estado.size));
    const zip_int64_t leidos = zip_source_read(memoria.get(), archivo.data(), estado.size);
    zip_source_close(memoria.get());
    if (leidos != static_cast<zip_int64_t>(estado.size))
    {
        motivo = "zip: el archivo hecho no se puede leer";
        return false;
    }
    return true;
}

const char *NombreEvento(DISPID dispid)
{
    return dispid == DISPID_EVENTO_START ? "Start" : dispid == DISPID_EVENTO_END ? "End" : "ProgressDone";
}

// The router's "code = value" lines as an object.
void Ajustes(CJson &json, const std::string &cfg)
{
    json.Objeto();
    for (const auto &[codigo, valor] : asistente::AjustesDelRouter(cfg))
        json.Clave(codigo).Texto(valor);
    json.FinObjeto();
}

void PiezaJson(CJson &json, const Pieza &p)
{
    json.Objeto().Clave("nombre").Texto(p.nombre).Clave("texto");
    if (p.falta.empty())
        json.Texto(p.bytes);
    else
        json.Nulo();
    json.Clave("falta").Texto(p.falta).Clave("nota").Texto(p.nota).FinObjeto();
}
} // namespace

bool EscribirPaquete(const std::string &fichero, std::string &motivo)
{
    CoInitialize(nullptr);
    std::vector<Pieza> piezas = {Identidad(), RegistroKit(), Transcripcion()};
    for (Pieza &p : EstadoFinal())
        piezas.push_back(std::move(p));
    for (Pieza &p : Trazas())
        piezas.push_back(std::move(p));
    CoUninitialize();
    CSecretos secretos = SecretosDeLaEjecucion();
    Ocultar(secretos, piezas);
    piezas.push_back(Pieza(kManifiesto, Manifiesto(piezas)));
    std::string archivo;
    return Comprimir(piezas, archivo, motivo) && EscribirFichero(fichero, archivo, motivo);
}

bool EscribirInforme(const std::string &fichero, int salida, std::string &motivo)
{
    // What the run did is read before the final state is, whose download fires events too.
    const std::vector<qelmfc::PaginaVista> paginas = qelmfc::PaginasVistas();
    const std::vector<qelmfc::MensajeVisto> mensajes = qelmfc::MensajesVistos();
    const std::vector<daxicom::EventoVisto> eventos = daxicom::EventosVistos();
    CoInitialize(nullptr);
    std::vector<Pieza> estado = EstadoFinal();
    CoUninitialize();
    CSecretos secretos = SecretosDeLaEjecucion();
    Ocultar(secretos, estado);

    DWORD base = GetTickCount();
    for (const auto &p : paginas)
        base = std::min(base, p.ms);
    for (const auto &m : mensajes)
        base = std::min(base, m.ms);
    for (const auto &e : eventos)
        base = std::min(base, e.ms);
    const auto ms = [base](DWORD t) { return static_cast<long long>(t - base); };
    const auto oculto = [&secretos](const std::string &t) { return secretos.Ocultar(t); };

    CJson json;
    json.Objeto().Clave("fecha").Texto(Fecha("%04u-%02u-%02uT%02u:%02u:%02u")).Clave("salida").Numero(salida);
    json.Clave("paginas").Lista();
    for (const auto &p : paginas)
        json.Objeto()
            .Clave("ms")
            .Numero(ms(p.ms))
            .Clave("indice")
            .Numero(p.indice)
            .Clave("dialogo")
            .Numero(p.dialogo)
            .Clave("titulo")
            .Texto(oculto(p.titulo))
            .FinObjeto();
    json.FinLista().Clave("eventos").Lista();
    for (const auto &e : eventos)
        json.Objeto()
            .Clave("ms")
            .Numero(ms(e.ms))
            .Clave("componente")
            .Texto(e.componente)
            .Clave("evento")
            .Texto(NombreEvento(e.dispid))
            .Clave("estado")
            .Numero(e.lStatus)
            .Clave("texto")
            .Texto(oculto(e.texto))
            .FinObjeto();
    json.FinLista().Clave("mensajes").Lista();
    for (const auto &m : mensajes)
        json.Objeto()
            .Clave("ms")
            .Numero(ms(m.ms))
            .Clave("titulo")
            .Texto(oculto(m.titulo))
            .Clave("texto")
            .Texto(oculto(m.texto))
            .Clave("respuesta")
            .Texto(m.respuesta)
            .FinObjeto();
    json.FinLista().Clave("final").Objeto().Clave("router");
    const Pieza &router = estado.front();
    if (router.falta.empty())
        Ajustes(json, router.bytes);
    else
        json.Nulo();
    json.Clave("piezas").Lista();
    for (const Pieza &p : estado)
        PiezaJson(json, p);
    json.FinLista().FinObjeto().FinObjeto();
    return EscribirFichero(fichero, json.Resultado() + "\n", motivo);
}

std::string NombreFechado()
{
    return Fecha("Informe-%04u%02u%02u-%02u%02u%02u.zip");
}
} // namespace soporte
