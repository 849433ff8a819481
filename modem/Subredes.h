// Dotted IPv4 text as the router's configuration file needs it: the address check of the whole
// modem module, the neighbour subnets that become the router's static routes, and the small
// conversions the template tokens use (octet fields, masks as prefix lengths, the DSLAM address).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The decimal value at the start of a text as the C runtime's atoi reads it: leading blanks, an
// optional sign, then digits; no digits gives 0. Unlike an unchecked atoi, a value beyond the
// 32-bit range saturates at INT_MAX or INT_MIN, as the Microsoft runtime documents.
int AtoiTexto(std::string_view texto);

// True only for four parts of 1 to 3 decimal digits, 0 to 255 each ("010" is 10), separated by
// single dots, none at either end.
bool EsIpValida(const char *pszIp);

// Field n (1 to 4) of a dotted text: the run after the (n-1)-th dot and before the n-th, read
// as atoi does; a missing field is 0.
int CampoIp(std::string_view texto, int n);

// A mask as the router writes it: the number of one-bit left shifts that clear the four fields'
// 32-bit value, in decimal (the prefix length of a contiguous mask). "" stays "".
std::string MascaraAPrefijo(std::string_view mascara);

// "%d.%d.%d.%d" of the address's network under the mask, plus one in the last field (no carry):
// the DSLAM's address for the WAN address and mask, the gateway of every static route.
std::string RedMasUno(std::string_view ip, std::string_view mascara);

// The subnets that, with the single address itself, make up the address's whole network: one
// pair (mask, subnet) per host bit of the mask, appended to the list. False, and nothing
// appended, for an invalid or zero address or mask, or a mask that gives no host bit count.
bool CalcularSubredesVecinas(const char *pszIp, const char *pszMascara, std::vector<std::string> &rutas);
