// CSecretos: the passwords of a run, hidden in everything the support report writes out. A
// password is known by its value (the run's router and PPPoE passwords, the router's initial
// one, the dial-up connections') and by its field: the router's settings (system password,
// PPPoE password), INI and phone-book lines and registry values whose name says "Password".
// Values are learnt from the fields first, so a password seen in one piece is hidden in all.
#pragma once

#include <set>
#include <string>

class CSecretos
{
  public:
    static constexpr char kMascara[] = "********";

    void Agregar(const std::string &valor);
    // Learns the values of every password field of a text.
    void Aprender(const std::string &texto);
    // The text with every password field and every known value replaced by kMascara.
    std::string Ocultar(const std::string &texto) const;

  private:
    // Longest first, so a password holding another is hidden whole.
    struct MasLargo
    {
        bool operator()(const std::string &a, const std::string &b) const
        {
            return a.size() != b.size() ? a.size() > b.size() : a < b;
        }
    };
    std::set<std::string, MasLargo> m_valores;
};
