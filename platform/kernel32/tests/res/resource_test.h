// Ids of the resource test script.
#define IDS_TITLE 2
#define IDS_ESCAPES 17
#define IDS_ACCENTS 33
#define IDS_LAST 255
#define IDD_PAGE 2001
#define IDC_NAME 1001
#define IDC_MODE_ONE 1002
#define IDC_MODE_MANY (IDC_NAME + 2)
#define IDC_LIST 1004
#define IDC_ADDRESS 1005
#define IDC_COMBO 1006
#define IDC_CHECK 1007
#define IDB_PHOTO 130
#define IDI_KIT 140
#ifdef APSTUDIO_INVOKED
#define _APS_NEXT_RESOURCE_VALUE 200
#endif
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
