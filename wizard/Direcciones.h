// CDirecciones: the wizard's rules on dotted address text. Every page check and both
// configuration plans are built from these operations; octets are numbered 1 to 4 from the left.
//
// The rules are the wizard's own and differ from the plain reading of an address in places:
// a text is an address only when it has exactly four parts of 1 to 3 digits ("01" is 1), parts
// of a text that is not an address read as 0, and some results are compared as text. None of
// them reads outside the text it is given.
#pragma once

#include <string>

class CDirecciones
{
  public:
    CDirecciones() = delete;

    // 1 to 3 decimal digits, value 0 to 255.
    static bool EsOcteto(const std::string &t);
    // Four EsOcteto parts separated by single dots, nothing else.
    static bool EsFormatoIp(const std::string &t);
    // The n-th part (1 to 4) as a number; 0 when t is not EsFormatoIp or n is out of range.
    static int VerOcteto(const std::string &t, int n);

    // /1 to /30: contiguous ones, not 0.0.0.0; 255.255.255.254 and 255.255.255.255 are refused.
    static bool EsMascaraValida(const std::string &m);
    // a is the broadcast address of its subnet, compared as text with the computed
    // "%d.%d.%d.%d" (so "010.255.255.255" is not the broadcast of 10.0.0.0/8).
    static bool EsBroadcast(const std::string &a, const std::string &m);
    // A usable address: format, valid mask, octet 1 not 0, 127 or 224, not 255.255.255.255 and
    // not the broadcast of its subnet. A zero host part passes.
    static bool EsIpValida(const std::string &a, const std::string &m);

    // a AND m, octet by octet; false (and `subred` empty) unless both are EsFormatoIp.
    static bool CalcularSubred(const std::string &a, const std::string &m, std::string &subred);
    // Both subnets can be computed and are the same.
    static bool MismaSubred(const std::string &a, const std::string &m, const std::string &b);

    // The mask of a private address with host octet 1 to 254 (10/8, 172.16-31/16, 192.168/24);
    // empty when the address is not private, and also for the addresses that are private
    // without a mask (octet 1 is 0, which includes any text that is not an address).
    static std::string MascaraPrivada(const std::string &a);
    // Private by the same rule, with or without a mask.
    static bool EsPrivada(const std::string &a);

    // CalcularSubred with 1 added to octet 4 without carry (octet 4 of 255 wraps to 0); empty for
    // invalid input.
    static std::string PrimeraIp(const std::string &a, const std::string &m);
    // a plus 1 with carry from octet 4 up (255.255.255.255 wraps to 0.0.0.0); empty when a is not
    // EsFormatoIp.
    static std::string SiguienteIp(const std::string &a);
    // a with octet 4 plus 1 when that stays below 256 and in the subnet, else octet 4 minus 1
    // when that stays in range and in the subnet; false (and `vecina` empty) otherwise.
    static bool IpVecina(const std::string &a, const std::string &m, std::string &vecina);

    // The host part is not zero and not all ones.
    static bool EsHost(const std::string &a, const std::string &m);
    // Valid texts, octet 1 of a not 0, and neither subnet lies inside the other.
    static bool SubredesDisjuntas(const std::string &a, const std::string &ma, const std::string &b,
                                  const std::string &mb);
    // Both valid masks and every octet of d not greater than that of m.
    static bool MascaraCubre(const std::string &d, const std::string &m);

    // The size of the router's DHCP pool from start s: (255 - m4) - s4 when (255 - mi) - si < 2
    // for each of octets 1 to 3, else 250. Negative when s lies above the subnet's last address.
    static int TamanoPool(const std::string &s, const std::string &m);
    // r is one of the TamanoPool (modulo 256) addresses that follow s; s itself is not one.
    static bool RouterEnPool(const std::string &s, const std::string &m, const std::string &r);
};
