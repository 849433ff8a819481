// Texts as the parameter objects keep them, and the address checks of TcpipParam::Validate.
//
// A text is kept as the UTF-16 units it came in (all of them, embedded NULs included), so what
// a client puts in is what it reads back, whatever its characters.
#pragma once

#include "platform/windows.h"
#include "platform/wstring.h"

#include <string>

using ParamText = WString;

// The text of a BSTR argument: a NULL BSTR is the empty text.
ParamText TextOf(BSTR bstrText);
// Hands a copy out through an [out] BSTR: E_OUTOFMEMORY (with *pbstr NULL) or S_OK.
HRESULT ReturnText(const ParamText &text, BSTR *pbstr);

// Dotted IPv4 text: exactly four parts of one to three decimal digits, each 0 to 255, joined by
// dots and nothing else. Gives the address with the first part most significant.
bool ParseIPv4(const ParamText &text, DWORD *pdwAddress);
// "0.0.0.0" (in any spelling ParseIPv4 takes, such as "000.0.0.0").
bool IsZeroIPv4(const ParamText &text);
// An address an adapter can have: dotted IPv4 whose first part is 1 to 223 and not 127 (no
// "this network", loopback, multicast or reserved address).
bool IsHostIPv4(const ParamText &text);
// A subnet mask an adapter can have: dotted IPv4, its ones contiguous from the left, not 0.0.0.0.
bool IsSubnetMask(const ParamText &text);
