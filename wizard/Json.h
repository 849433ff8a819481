// CJson: a JSON text written in order (objects, lists, keys and values), in UTF-8 from the
// kit's Windows 1252 strings, with the escapes JSON requires. The writer puts the commas;
// the caller opens and closes what it writes in the right order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CJson
{
  public:
    CJson &Objeto();
    CJson &FinObjeto();
    CJson &Lista();
    CJson &FinLista();
    // A key of the object open: the value written next is its value.
    CJson &Clave(std::string_view nombre);
    CJson &Texto(std::string_view ansi);
    CJson &Numero(long long valor);
    CJson &Nulo();

    const std::string &Resultado() const { return m_texto; }
    // A Windows 1252 text as a JSON string, quotes included.
    static std::string Cadena(std::string_view ansi);

  private:
    void Valor(); // the comma before a value of a list or object
    std::string m_texto;
    std::vector<bool> m_primero; // per open list or object: nothing written in it yet
    bool m_trasClave = false;
};
