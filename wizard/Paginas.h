// The wizard's pages by their position in the sheet: every jump names one of these.
#pragma once

enum Pagina : int
{
    pagBienvenida = 0,
    pagOperacion = 1,
    pagModoConf = 2,
    pagModoDirec = 3,
    pagDeteccion = 4,
    pagEstadoPC = 5,
    pagDatos = 6,
    pagIpGestion = 7,
    pagDatos2 = 8,
    pagDatosFirm = 9,
    pagMultipuesto = 10,
    pagResumenDatos = 11,
    pagConectividad = 12,
    pagCable = 13,
    pagConsola = 14,
    pagAccesoPuerto = 15,
    pagManual = 16,
    pagChangeFirm = 17,
    pagPuertos = 18,
    pagConfigurando = 19,
    pagFinError = 20,
    pagFinOK = 21,
    pagPassword = 22,
    numPaginas = 23,
};
