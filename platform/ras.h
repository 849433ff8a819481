// Remote Access (rasapi32.dll, and rnaph.dll on Windows 95) for the POSIX build of the kit: the
// dial-up devices and the phone book of the simulated PC. Product code binds the functions at
// run time (LoadLibraryA("RASAPI32.DLL"), GetProcAddress); they are declared here for direct
// calls too. Layouts are the SDK's for a 32-bit ANSI program: every structure grew by versions
// (WINVER 0x400 for Windows 95/NT 4 without the 0x401 members, 0x401 NT 4, 0x500 2000, 0x501 XP)
// and the versions are prefixes of the one declared here, so a caller's dwSize picks its version.
#pragma once

#ifdef _WIN32
#include <ras.h>
#include <raserror.h>
#else

#include "platform/guiddef.h"
#include "platform/raserror.h"
#include "platform/windef.h"

#define RAS_MaxDeviceType 16
#define RAS_MaxPhoneNumber 128
#define RAS_MaxIpAddress 15
#define RAS_MaxIpxAddress 21
#define RAS_MaxEntryName 256
#define RAS_MaxDeviceName 128
#define RAS_MaxCallbackNumber RAS_MaxPhoneNumber
#define RAS_MaxAreaCode 10
#define RAS_MaxPadType 32
#define RAS_MaxX25Address 200
#define RAS_MaxFacilities 200
#define RAS_MaxUserData 200
#define RAS_MaxDnsSuffix 256
#define UNLEN 256
#define PWLEN 256
#define DNLEN 15

// Device types (szDeviceType).
#define RASDT_Modem "modem"
#define RASDT_Isdn "isdn"
#define RASDT_X25 "x25"
#define RASDT_Vpn "vpn"
#define RASDT_Pad "pad"
#define RASDT_Generic "GENERIC"
#define RASDT_Serial "SERIAL"
#define RASDT_FrameRelay "FRAMERELAY"
#define RASDT_Atm "ATM"
#define RASDT_Sonet "SONET"
#define RASDT_SW56 "SW56"
#define RASDT_Irda "IRDA"
#define RASDT_Parallel "PARALLEL"
#define RASDT_PPPoE "PPPoE"

// RASENTRY dwfOptions.
#define RASEO_UseCountryAndAreaCodes 0x00000001
#define RASEO_SpecificIpAddr 0x00000002
#define RASEO_SpecificNameServers 0x00000004
#define RASEO_IpHeaderCompression 0x00000008
#define RASEO_RemoteDefaultGateway 0x00000010
#define RASEO_DisableLcpExtensions 0x00000020
#define RASEO_TerminalBeforeDial 0x00000040
#define RASEO_TerminalAfterDial 0x00000080
#define RASEO_ModemLights 0x00000100
#define RASEO_SwCompression 0x00000200
#define RASEO_RequireEncryptedPw 0x00000400
#define RASEO_RequireMsEncryptedPw 0x00000800
#define RASEO_RequireDataEncryption 0x00001000
#define RASEO_NetworkLogon 0x00002000
#define RASEO_UseLogonCredentials 0x00004000
#define RASEO_PromoteAlternates 0x00008000
#define RASEO_SecureLocalFiles 0x00010000
#define RASEO_RequireEAP 0x00020000
#define RASEO_RequirePAP 0x00040000
#define RASEO_RequireSPAP 0x00080000
#define RASEO_Custom 0x00100000
#define RASEO_PreviewPhoneNumber 0x00200000
#define RASEO_SharedPhoneNumbers 0x00800000
#define RASEO_PreviewUserPw 0x01000000
#define RASEO_PreviewDomain 0x02000000
#define RASEO_ShowDialingProgress 0x04000000
#define RASEO_RequireCHAP 0x08000000
#define RASEO_RequireMsCHAP 0x10000000
#define RASEO_RequireMsCHAP2 0x20000000
#define RASEO_RequireW95MSCHAP 0x40000000
#define RASEO_CustomScript 0x80000000

// RASENTRY dwfOptions2 (XP).
#define RASEO2_SecureFileAndPrint 0x00000001
#define RASEO2_SecureClientForMSNet 0x00000002
#define RASEO2_DontNegotiateMultilink 0x00000004
#define RASEO2_DontUseRasCredentials 0x00000008
#define RASEO2_UsePreSharedKey 0x00000010
#define RASEO2_Internet 0x00000020
#define RASEO2_DisableNbtOverIP 0x00000040
#define RASEO2_UseGlobalDeviceSettings 0x00000080
#define RASEO2_ReconnectIfDropped 0x00000100
#define RASEO2_SharePhoneNumbers 0x00000200

// Network protocols, framing, entry types, dial modes, encryption.
#define RASNP_NetBEUI 0x00000001
#define RASNP_Ipx 0x00000002
#define RASNP_Ip 0x00000004
#define RASFP_Ppp 0x00000001
#define RASFP_Slip 0x00000002
#define RASFP_Ras 0x00000004
#define RASET_Phone 1
#define RASET_Vpn 2
#define RASET_Direct 3
#define RASET_Internet 4
#define RASET_Broadband 5
#define RASEDM_DialAll 1
#define RASEDM_DialAsNeeded 2
#define RASIDS_Disabled 0xFFFFFFFF
#define RASIDS_UseGlobalValue 0
#define ET_None 0
#define ET_Require 1
#define ET_RequireMax 2
#define ET_Optional 3
#define VS_Default 0

// RASCREDENTIALS dwMask.
#define RASCM_UserName 0x00000001
#define RASCM_Password 0x00000002
#define RASCM_Domain 0x00000004

// RASENTRYNAME dwFlags.
#define REN_User 0x00000000
#define REN_AllUsers 0x00000001

typedef struct tagRASIPADDR
{
    BYTE a;
    BYTE b;
    BYTE c;
    BYTE d;
} RASIPADDR;

typedef struct tagRASDEVINFOA
{
    DWORD dwSize;
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
} RASDEVINFOA, *LPRASDEVINFOA;

typedef struct tagRASENTRYNAMEA
{
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    // 2000 and later
    DWORD dwFlags;
    CHAR szPhonebookPath[MAX_PATH + 1];
} RASENTRYNAMEA, *LPRASENTRYNAMEA;

typedef struct tagRASENTRYA
{
    DWORD dwSize;
    DWORD dwfOptions;
    DWORD dwCountryID;
    DWORD dwCountryCode;
    CHAR szAreaCode[RAS_MaxAreaCode + 1];
    CHAR szLocalPhoneNumber[RAS_MaxPhoneNumber + 1];
    DWORD dwAlternateOffset;
    RASIPADDR ipaddr;
    RASIPADDR ipaddrDns;
    RASIPADDR ipaddrDnsAlt;
    RASIPADDR ipaddrWins;
    RASIPADDR ipaddrWinsAlt;
    DWORD dwFrameSize;
    DWORD dwfNetProtocols;
    DWORD dwFramingProtocol;
    CHAR szScript[MAX_PATH];
    CHAR szAutodialDll[MAX_PATH];
    CHAR szAutodialFunc[MAX_PATH];
    CHAR szDeviceType[RAS_MaxDeviceType + 1];
    CHAR szDeviceName[RAS_MaxDeviceName + 1];
    CHAR szX25PadType[RAS_MaxPadType + 1];
    CHAR szX25Address[RAS_MaxX25Address + 1];
    CHAR szX25Facilities[RAS_MaxFacilities + 1];
    CHAR szX25UserData[RAS_MaxUserData + 1];
    DWORD dwChannels;
    DWORD dwReserved1;
    DWORD dwReserved2;
    // NT 4 and later
    DWORD dwSubEntries;
    DWORD dwDialMode;
    DWORD dwDialExtraPercent;
    DWORD dwDialExtraSampleSeconds;
    DWORD dwHangUpExtraPercent;
    DWORD dwHangUpExtraSampleSeconds;
    DWORD dwIdleDisconnectSeconds;
    // 2000 and later
    DWORD dwType;
    DWORD dwEncryptionType;
    DWORD dwCustomAuthKey;
    GUID guidId;
    CHAR szCustomDialDll[MAX_PATH];
    DWORD dwVpnStrategy;
    // XP
    DWORD dwfOptions2;
    DWORD dwfOptions3;
    CHAR szDnsSuffix[RAS_MaxDnsSuffix];
    DWORD dwTcpWindowSize;
    CHAR szPrerequisitePbk[MAX_PATH];
    CHAR szPrerequisiteEntry[RAS_MaxEntryName + 1];
    DWORD dwRedialCount;
    DWORD dwRedialPause;
} RASENTRYA, *LPRASENTRYA;

typedef struct tagRASDIALPARAMSA
{
    DWORD dwSize;
    CHAR szEntryName[RAS_MaxEntryName + 1];
    CHAR szPhoneNumber[RAS_MaxPhoneNumber + 1];
    CHAR szCallbackNumber[RAS_MaxCallbackNumber + 1];
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
    // NT 4 and later
    DWORD dwSubEntry;
    DWORD dwCallbackId; // ULONG_PTR in the SDK: 32 bits in the 32-bit layout kept here
} RASDIALPARAMSA, *LPRASDIALPARAMSA;

typedef struct tagRASCREDENTIALSA
{
    DWORD dwSize;
    DWORD dwMask;
    CHAR szUserName[UNLEN + 1];
    CHAR szPassword[PWLEN + 1];
    CHAR szDomain[DNLEN + 1];
} RASCREDENTIALSA, *LPRASCREDENTIALSA;

DECLARE_HANDLE(HRASCONN);
typedef HRASCONN *LPHRASCONN;

// The sizes of the versions of the structures, as callers built for each Windows pass them.
#define RASENTRYA_V400_SIZE 1768
#define RASENTRYA_V401_SIZE 1796
#define RASENTRYA_V500_SIZE 2088
#define RASENTRYA_V501_SIZE 2884
#define RASENTRYNAMEA_V400_SIZE 264
#define RASENTRYNAMEA_V500_SIZE 532
#define RASDIALPARAMSA_V400_SIZE 1052
#define RASDIALPARAMSA_V401_SIZE 1060

static_assert(sizeof(RASDEVINFOA) == 152);
static_assert(sizeof(RASENTRYNAMEA) == RASENTRYNAMEA_V500_SIZE);
static_assert(sizeof(RASENTRYA) == RASENTRYA_V501_SIZE);
static_assert(__builtin_offsetof(RASENTRYA, dwSubEntries) == RASENTRYA_V400_SIZE);
static_assert(__builtin_offsetof(RASENTRYA, dwType) == RASENTRYA_V401_SIZE);
static_assert(__builtin_offsetof(RASENTRYA, dwfOptions2) == RASENTRYA_V500_SIZE);
static_assert(sizeof(RASDIALPARAMSA) == RASDIALPARAMSA_V401_SIZE);
static_assert(__builtin_offsetof(RASDIALPARAMSA, dwSubEntry) == RASDIALPARAMSA_V400_SIZE);
static_assert(sizeof(RASCREDENTIALSA) == 540);

// Devices and phone book.
DWORD WINAPI RasEnumDevicesA(LPRASDEVINFOA lpRasDevInfo, LPDWORD lpcb, LPDWORD lpcDevices);
DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR lpszPhonebook, LPRASENTRYNAMEA lprasentryname,
                             LPDWORD lpcb, LPDWORD lpcEntries);
DWORD WINAPI RasGetEntryPropertiesA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASENTRYA lpRasEntry,
                                    LPDWORD lpdwEntryInfoSize, LPBYTE lpbDeviceInfo,
                                    LPDWORD lpdwDeviceInfoSize);
DWORD WINAPI RasSetEntryPropertiesA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASENTRYA lpRasEntry,
                                    DWORD dwEntryInfoSize, LPBYTE lpbDeviceInfo, DWORD dwDeviceInfoSize);
DWORD WINAPI RasValidateEntryNameA(LPCSTR lpszPhonebook, LPCSTR lpszEntry);
DWORD WINAPI RasDeleteEntryA(LPCSTR lpszPhonebook, LPCSTR lpszEntry);
// Dial parameters and credentials.
DWORD WINAPI RasGetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    LPBOOL lpfPassword);
DWORD WINAPI RasSetEntryDialParamsA(LPCSTR lpszPhonebook, LPRASDIALPARAMSA lprasdialparams,
                                    BOOL fRemovePassword);
DWORD WINAPI RasSetCredentialsA(LPCSTR lpszPhonebook, LPCSTR lpszEntry, LPRASCREDENTIALSA lpCredentials,
                                BOOL fClearCredentials);
DWORD WINAPI RasGetErrorStringA(UINT uErrorValue, LPSTR lpszErrorString, DWORD cBufSize);
// Connections: the PC has no line to dial (ERROR_CALL_NOT_IMPLEMENTED).
DWORD WINAPI RasDialA(LPVOID lpRasDialExtensions, LPCSTR lpszPhonebook, LPRASDIALPARAMSA lpRasDialParams,
                      DWORD dwNotifierType, LPVOID lpvNotifier, LPHRASCONN lphRasConn);
DWORD WINAPI RasEnumConnectionsA(LPVOID lprasconn, LPDWORD lpcb, LPDWORD lpcConnections);
DWORD WINAPI RasGetConnectStatusA(HRASCONN hrasconn, LPVOID lprasconnstatus);
DWORD WINAPI RasGetProjectionInfoA(HRASCONN hrasconn, DWORD rasprojection, LPVOID lpprojection, LPDWORD lpcb);
DWORD WINAPI RasHangUpA(HRASCONN hrasconn);

#endif
