// Ids of the wizard's resources (QelAsist.rc): strings, page templates and their controls.
#pragma once

// ---- Strings.
#define IDS_BIENVENIDA_TITULO                    1
#define IDS_TITULO_PRODUCTO                      2
#define IDS_BIENVENIDA_TEXTO1                    3
#define IDS_BIENVENIDA_TEXTO2                    4
#define IDS_BIENVENIDA_TEXTO3                    5
#define IDS_CONECTIVIDAD_TITULO                  7
#define IDS_CONECTIVIDAD_TEXTO                   8
#define IDS_CONFIGURANDO_TITULO                  9
#define IDS_CONFIGURANDO_TEXTO1                  10
#define IDS_CONFIGURANDO_TEXTO2                  11
#define IDS_DATOS_TITULO                         12
#define IDS_DATOS_TEXTO                          13
#define IDS_DATOS_IP                             14
#define IDS_DATOS_MASCARA                        15
#define IDS_DATOS_NIC                            16
#define IDS_DATOS2_TITULO                        17
#define IDS_DATOS2_TEXTO                         18
#define IDS_DATOS2_USUARIO                       19
#define IDS_DATOS2_PASSWORD                      20
#define IDS_DATOS2_NIC                           21
#define IDS_DATOSFIRM_TITULO                     22
#define IDS_DATOSFIRM_TEXTO                      23
#define IDS_DATOSFIRM_FICHERO                    24
#define IDS_DATOSFIRM_EXAMINAR                   25
#define IDS_DATOSFIRM_NIC                        26
#define IDS_DETECCION_TITULO                     27
#define IDS_DETECCION_TEXTO                      28
#define IDS_DETECCION_NICS                       29
#define IDS_DETECCION_TCPIP                      30
#define IDS_DETECCION_PPPOE                      31
#define IDS_ESTADOPC_TITULO                      32
#define IDS_FINERROR_TITULO                      34
#define IDS_FINERROR_TEXTO                       35
#define IDS_FINOK_TITULO                         36
#define IDS_FINOK_CONFIGURADO                    37
#define IDS_FINOK_RUTAS                          38
#define IDS_FINOK_REINICIAR                      39
#define IDS_CHANGEFIRM_TITULO                    40
#define IDS_CHANGEFIRM_TEXTO1                    41
#define IDS_CHANGEFIRM_TEXTO2                    42
#define IDS_CHANGEFIRM_TEXTO3                    43
#define IDS_IPGESTION_TITULO                     44
#define IDS_IPGESTION_TEXTO                      45
#define IDS_IPGESTION_IP                         46
#define IDS_IPGESTION_MASCARA                    47
#define IDS_MANUAL_TITULO                        49
#define IDS_MANUAL_TEXTO1                        50
#define IDS_MANUAL_TEXTO2                        51
#define IDS_MANUAL_AVISO                         52
#define IDS_MANUAL_IPROUTER                      53
#define IDS_MANUAL_MASCARA                       54
#define IDS_MANUAL_IPPC                          55
#define IDS_MODOCONF_TITULO                      56
#define IDS_MODOCONF_TEXTO                       57
#define IDS_MODOCONF_MONOPUESTO                  58
#define IDS_MODOCONF_MULTIPUESTO                 59
#define IDS_MODODIREC_TITULO                     64
#define IDS_MODODIREC_TEXTO                      65
#define IDS_MODODIREC_ESTATICO                   66
#define IDS_MODODIREC_DINAMICO                   67
#define IDS_MULTIPUESTO_TITULO                   70
#define IDS_MULTIPUESTO_TEXTO                    71
#define IDS_MULTIPUESTO_DHCP                     72
#define IDS_MULTIPUESTO_IPINICIAL                73
#define IDS_MULTIPUESTO_MASCARADHCP              74
#define IDS_MULTIPUESTO_MANUAL                   75
#define IDS_MULTIPUESTO_IPPC                     76
#define IDS_MULTIPUESTO_MASCARAPC                77
#define IDS_MULTIPUESTO_IPROUTER                 78
#define IDS_PASSWORD_TITULO                      79
#define IDS_PASSWORD_TEXTO                       80
#define IDS_PASSWORD_CLAVE                       81
#define IDS_PASSWORD_PIE                         82
#define IDS_PUERTOS_TITULO                       83
#define IDS_PUERTOS_TEXTO                        84
#define IDS_PUERTOS_AGREGAR                      85
#define IDS_PUERTOS_MODIFICAR                    86
#define IDS_PUERTOS_ELIMINAR                     87
#define IDS_PUERTOS_NUMERO                       88
#define IDS_PUERTOS_IP                           89
#define IDS_PUERTOS_ACTUALIZAR                   90
#define IDS_RESUMEN_TITULO                       91
#define IDS_RESUMEN_TEXTO                        92
#define IDS_RESUMEN_MODOCONF                     93
#define IDS_RESUMEN_MODODIREC                    94
#define IDS_RESUMEN_NIC                          95
#define IDS_RESUMEN_IPPRIVADA                    96
#define IDS_RESUMEN_MASCARAPRIVADA               97
#define IDS_OPERACION_TITULO                     98
#define IDS_OPERACION_TEXTO                      99
#define IDS_OPERACION_CONFIGURAR                 100
#define IDS_OPERACION_FIRMWARE                   101
#define IDS_BOTON_ATRAS                          104
#define IDS_BOTON_SIGUIENTE                      105
#define IDS_BOTON_CANCELAR                       106
#define IDS_BOTON_FINALIZAR                      107
#define IDS_BOTON_INSTALAR                       108
#define IDS_BOTON_REINTENTAR                     109
#define IDS_BOTON_IGNORAR                        110
#define IDS_BOTON_RECONFIGURAR                   111
#define IDS_RESUMEN_ESTATICO                     112
#define IDS_RESUMEN_DINAMICO                     113
#define IDS_RESUMEN_MULTIPUESTO                  114
#define IDS_RESUMEN_MONOPUESTO                   115
#define IDS_RESUMEN_USUARIO                      116
#define IDS_RESUMEN_PASSWORD                     117
#define IDS_RESUMEN_IPPUBLICA                    118
#define IDS_RESUMEN_MASCARAPUBLICA               119
#define IDS_RESUMEN_DHCP                         120
#define IDS_RESUMEN_IPGESTION                    121
#define IDS_RESUMEN_MASCARAGESTION               122
#define IDS_RESUMEN_SI                           123
#define IDS_RESUMEN_NO                           124
#define IDS_PUERTOS_COLUMNA_NUMERO               126
#define IDS_PUERTOS_COLUMNA_IP                   127
#define IDS_CANCELAR_PREGUNTA                    129
#define IDS_CANCELAR_TITULO                      130
#define IDS_SIN_ADMINISTRADOR                    131
#define IDS_SIN_ADMINISTRADOR_TITULO             132
#define IDS_DETECCION_NICS_OK                    136
#define IDS_DETECCION_TCPIP_OK                   137
#define IDS_DETECCION_PPPOE_OK                   138
#define IDS_ESTADOPC_ERROR                       139
#define IDS_ESTADOPC_OK                          140
#define IDS_REQ_NIC_KIT_NO_INSTALADA             141
#define IDS_ESTADOPC_PIE_AVISO                   142
#define IDS_ESTADOPC_PIE_OK                      143
#define IDS_REQ_NIC_KIT_NO_ENLAZADA              144
#define IDS_REQ_NIC_KIT_NO_HABILITADA            145
#define IDS_REQ_SIN_NIC                          146
#define IDS_REQ_SIN_NIC_ENLAZADA                 147
#define IDS_REQ_SIN_NIC_HABILITADA               148
#define IDS_REQ_SIN_TCPIP                        149
#define IDS_REQ_SIN_RAS                          150
#define IDS_REQ_SIN_PPPOE                        151
#define IDS_REQ_SIN_ADAPTADOR_PPPOE              152
#define IDS_ESTADOPC_PIE_ERROR                   154
#define IDS_REQ_NIC_OK                           159
#define IDS_REQ_TCPIP_OK                         160
#define IDS_REQ_RAS_OK                           161
#define IDS_REQ_PPPOE_OK                         162
#define IDS_ERR_IP_USUARIO                       163
#define IDS_ERR_IP_USUARIO_TITULO                164
#define IDS_ERR_MASCARA_USUARIO                  165
#define IDS_ERR_MASCARA_USUARIO_TITULO           166
#define IDS_ERR_IP_PRIVADA                       167
#define IDS_ERR_IP_PRIVADA_TITULO                168
#define IDS_CONF_MODEM_INICIO                    169
#define IDS_CONF_MODEM_FIN                       170
#define IDS_CONF_TCPIP_INICIO                    171
#define IDS_CONF_TCPIP_FIN                       172
#define IDS_CONF_RAS_INICIO                      173
#define IDS_CONF_RAS_FIN                         174
#define IDS_CONF_CANCELAR_PREGUNTA               175
#define IDS_CONF_CANCELAR_TITULO                 176
#define IDS_ERR_PARAMETROS                       177
#define IDS_ERR_TCPIP_MANUAL                     178
#define IDS_MANUAL_ERR_SUBRED                    179
#define IDS_MANUAL_ERR_TITULO                    180
#define IDS_MANUAL_ERR_ROUTER_SUBRED             181
#define IDS_MANUAL_ERR_PC_SUBRED                 182
#define IDS_MANUAL_ERR_PC_IGUAL                  183
#define IDS_MANUAL_ERR_MASCARA                   184
#define IDS_MANUAL_ERR_ROUTER                    185
#define IDS_MANUAL_ERR_PC                        186
#define IDS_REINICIAR_PREGUNTA                   187
#define IDS_REINICIAR_TITULO                     188
#define IDS_MANUAL_DISTINTOS                     189
#define IDS_MANUAL_DISTINTOS_TITULO              190
#define IDS_ERR_TCPIP_CONECTIVIDAD               191
#define IDS_CONECTIVIDAD_COMPROBANDO             192
#define IDS_CONECTIVIDAD_OK                      193
#define IDS_ERROR_MODEM                          194
#define IDS_ERROR_TCPIP                          195
#define IDS_ERROR_RAS                            196
#define IDS_ERROR_TCPIP_LECTURA                  198
#define IDS_ERROR_FIRMWARE                       199
#define IDS_FINOK_FIRMWARE_TITULO                200
#define IDS_FINOK_FIRMWARE_PARAMETROS            201
#define IDS_FINOK_FIRMWARE_CARGADO               202
#define IDS_FINOK_FIRMWARE_LUCES                 203
#define IDS_MULTI_ERR_MISMA_IP                   204
#define IDS_MULTI_ERR_MASCARA_SUBRED             205
#define IDS_MULTI_ERR_MASCARA_SUBRED_TITULO      206
#define IDS_MULTI_ERR_ROUTER_EN_POOL             207
#define IDS_MULTI_ERR_SUBRED                     208
#define IDS_MULTI_ERR_TITULO                     209
#define IDS_MULTI_ERR_GATEWAY                    210
#define IDS_GESTION_ERR_TITULO                   211
#define IDS_GESTION_ERR_IP                       212
#define IDS_GESTION_ERR_MASCARA                  213
#define IDS_GESTION_ERR_DATOS                    214
#define IDS_FIRM_ERR_FICHERO                     215
#define IDS_FIRM_ERR_FICHERO_TITULO              216
#define IDS_FIRM_INICIO                          217
#define IDS_FIRM_FIN                             218
#define IDS_FIRM_COMPLETANDO                     219
#define IDS_FIRM_CANCELAR_PREGUNTA               220
#define IDS_FIRM_CANCELAR_TITULO                 221
#define IDS_PUERTOS_ERR_DUPLICADO                222
#define IDS_PUERTOS_ERR_DUPLICADO_TITULO         223
#define IDS_PUERTOS_ERR_LLENA                    224
#define IDS_PUERTOS_ERR_LLENA_TITULO             225
#define IDS_PUERTOS_ERR_PUERTO                   226
#define IDS_PUERTOS_ERR_PUERTO_TITULO            227
#define IDS_PUERTOS_ERR_IP_RED                   228
#define IDS_PUERTOS_ERR_IP_TITULO                229
#define IDS_PUERTOS_ERR_IP                       230
#define IDS_PUERTOS_ERR_PUERTO23                 231
#define IDS_ACCESOPUERTO_COMPROBANDO             232
#define IDS_ACCESOPUERTO_OK                      233
#define IDS_ACCESOPUERTO_ERROR                   234
#define IDS_CABLE_TITULO                         235
#define IDS_CABLE_TEXTO1                         236
#define IDS_CABLE_TEXTO2                         237
#define IDS_CABLE_TEXTO3                         238
#define IDS_CONSOLA_TITULO                       239
#define IDS_CONSOLA_TEXTO                        240
#define IDS_CONSOLA_PUERTO                       241
#define IDS_CONSOLA_AVISO                        242
#define IDS_ACCESOPUERTO_TITULO                  243
#define IDS_ACCESOPUERTO_TEXTO                   244
#define IDS_MODEM_MSG1                           245
#define IDS_MODEM_MSG2                           246
#define IDS_MODEM_MSG3                           247
#define IDS_MODEM_MSG4                           248
#define IDS_MODEM_MSG5                           249
#define IDS_MODEM_MSG6                           250
#define IDS_MODEM_MSG7                           251
#define IDS_MODEM_MSG8                           252
#define IDS_TCPIP_MSG1                           253
#define IDS_TCPIP_MSG2                           254
#define IDS_TCPIP_MSG3                           255
#define IDS_TCPIP_MSG4                           256
#define IDS_TCPIP_MSG5                           257
#define IDS_TCPIP_MSG6                           258
#define IDS_TCPIP_MSG7                           259
#define IDS_TCPIP_MSG8                           260
#define IDS_TCPIP_MSG9                           261
#define IDS_TCPIP_MSG10                          262
#define IDS_TCPIP_MSG11                          263
#define IDS_TCPIP_MSG12                          264
#define IDS_TCPIP_MSG13                          265
#define IDS_TCPIP_MSG14                          266
#define IDS_TCPIP_MSG15                          267
#define IDS_TCPIP_MSG16                          268
#define IDS_TCPIP_MSG17                          269
#define IDS_TCPIP_MSG18                          270
#define IDS_TCPIP_MSG19                          271
#define IDS_TCPIP_MSG20                          272
#define IDS_RESUMEN_DNS1                         273
#define IDS_RESUMEN_DNS2                         274
#define IDS_MANUAL_CONSOLA                       275
#define IDS_ERR_CONFIG_INI                       276
#define IDS_ERR_CONFIG_INI_TITULO                277
#define IDS_MANUAL_CONSOLA_TITULO                278
#define IDS_MODEM_BYTES                          279
#define IDS_PUERTOS_PREGUNTA_ANADIR              280
#define IDS_PUERTOS_PREGUNTA_ANADIR_TITULO       281
#define IDS_PUERTOS_PREGUNTA_MODIFICAR           282
#define IDS_PUERTOS_PREGUNTA_MODIFICAR_TITULO    283
#define IDS_ERR_CONEXION_RAS                     284

// ---- Page templates, by page index.
#define IDD_BIENVENIDA                           2001 //  0 CDlgBienvenida
#define IDD_OPERACION                            2023 //  1 CDlgOperacion
#define IDD_MODOCONF                             2004 //  2 CDlgModoConf
#define IDD_MODODIREC                            2011 //  3 CDlgModoDirec
#define IDD_DETECCION                            2005 //  4 CDlgDeteccion
#define IDD_ESTADOPC                             2002 //  5 CDlgEstadoPC
#define IDD_DATOS                                2006 //  6 CDlgDatos
#define IDD_IPGESTION                            2021 //  7 CDlgIpGestion
#define IDD_DATOS2                               2003 //  8 CDlgDatos2
#define IDD_DATOSFIRM                            2025 //  9 CDlgDatosFirm
#define IDD_MULTIPUESTO                          2012 // 10 CDlgMultipuesto
#define IDD_RESUMENDATOS                         2013 // 11 CDlgResumenDatos
#define IDD_CONECTIVIDAD                         2014 // 12 CDlgConectividad
#define IDD_CABLE                                2028 // 13 CDlgCable
#define IDD_CONSOLA                              2015 // 14 CDlgConsola
#define IDD_ACCESOPUERTO                         2029 // 15 CDlgAccesoPuerto
#define IDD_MANUAL                               2016 // 16 CDlgManual
#define IDD_CHANGEFIRM                           2024 // 17 CDlgChangeFirm
#define IDD_PUERTOS                              2026 // 18 CDlgPuertos
#define IDD_CONFIGURANDO                         2007 // 19 CDlgConfigurando
#define IDD_FINERROR                             2009 // 20 CDlgFinError
#define IDD_FINOK                                2008 // 21 CDlgFinOK
#define IDD_PASSWORD                             2010 // 22 CDlgPassword

// ---- Controls.
// Shared by the pages where they play the same role.
#define IDC_NIC                                  1000 // the adapter combo box (pages 6, 8, 9)
#define IDC_ESTADO                               1001 // the status line of a progress page (12, 15, 17, 19)
#define IDC_ANIMACION                            1002 // where the animation plays (4, 12, 15, 17, 19)
#define IDC_ICONO                                1003 // the information or error icon (5, 20)

// IDD_BIENVENIDA (CDlgBienvenida, page 0)
#define IDC_BIENVENIDA_TEXTO1                    1040
#define IDC_BIENVENIDA_TEXTO2                    1041
#define IDC_BIENVENIDA_TEXTO3                    1042

// IDD_OPERACION (CDlgOperacion, page 1)
#define IDC_OPERACION_TEXTO                      1080
#define IDC_OPERACION_CONFIGURAR                 1081
#define IDC_OPERACION_FIRMWARE                   1082

// IDD_MODOCONF (CDlgModoConf, page 2)
#define IDC_MODOCONF_TEXTO                       1120
#define IDC_MODOCONF_MONOPUESTO                  1121
#define IDC_MODOCONF_MULTIPUESTO                 1122

// IDD_MODODIREC (CDlgModoDirec, page 3)
#define IDC_MODODIREC_TEXTO                      1160
#define IDC_MODODIREC_ESTATICO                   1161
#define IDC_MODODIREC_DINAMICO                   1162

// IDD_DETECCION (CDlgDeteccion, page 4)
#define IDC_DETECCION_TEXTO                      1200
#define IDC_DETECCION_NICS                       1201
#define IDC_DETECCION_TCPIP                      1202
#define IDC_DETECCION_PPPOE                      1203

// IDD_ESTADOPC (CDlgEstadoPC, page 5)
#define IDC_ESTADOPC_CABECERA                    1240
#define IDC_LINEA1                               1241
#define IDC_LINEA2                               1242
#define IDC_LINEA3                               1243
#define IDC_LINEA4                               1244
#define IDC_LINEA5                               1245
#define IDC_LINEA6                               1246
#define IDC_LINEA7                               1247
#define IDC_LINEA8                               1248
#define IDC_ESTADOPC_PIE                         1249

// IDD_DATOS (CDlgDatos, page 6)
#define IDC_DATOS_TEXTO                          1280
#define IDC_DATOS_ETIQ_IP                        1281
#define IDC_DATOS_IP                             1282
#define IDC_DATOS_ETIQ_MASCARA                   1283
#define IDC_DATOS_MASCARA                        1284
#define IDC_DATOS_ETIQ_NIC                       1285

// IDD_IPGESTION (CDlgIpGestion, page 7)
#define IDC_IPGESTION_TEXTO                      1320
#define IDC_IPGESTION_ETIQ_IP                    1321
#define IDC_IPGESTION_IP                         1322
#define IDC_IPGESTION_ETIQ_MASCARA               1323
#define IDC_IPGESTION_MASCARA                    1324

// IDD_DATOS2 (CDlgDatos2, page 8)
#define IDC_DATOS2_TEXTO                         1360
#define IDC_DATOS2_ETIQ_USUARIO                  1361
#define IDC_DATOS2_USUARIO                       1362
#define IDC_DATOS2_ETIQ_PASSWORD                 1363
#define IDC_DATOS2_PASSWORD                      1364
#define IDC_DATOS2_ETIQ_NIC                      1365

// IDD_DATOSFIRM (CDlgDatosFirm, page 9)
#define IDC_DATOSFIRM_TEXTO                      1400
#define IDC_DATOSFIRM_ETIQ_FICHERO               1401
#define IDC_DATOSFIRM_FICHERO                    1402
#define IDC_DATOSFIRM_EXAMINAR                   1403
#define IDC_DATOSFIRM_ETIQ_NIC                   1404

// IDD_MULTIPUESTO (CDlgMultipuesto, page 10)
#define IDC_MULTIPUESTO_TEXTO                    1440
#define IDC_MULTIPUESTO_DHCP                     1441
#define IDC_MULTIPUESTO_MANUAL                   1442
#define IDC_MULTIPUESTO_ETIQ_IPINICIAL           1443
#define IDC_MULTIPUESTO_IPINICIAL                1444
#define IDC_MULTIPUESTO_ETIQ_MASCARADHCP         1445
#define IDC_MULTIPUESTO_MASCARADHCP              1446
#define IDC_MULTIPUESTO_ETIQ_IPPC                1447
#define IDC_MULTIPUESTO_IPPC                     1448
#define IDC_MULTIPUESTO_ETIQ_MASCARAPC           1449
#define IDC_MULTIPUESTO_MASCARAPC                1450
#define IDC_MULTIPUESTO_ETIQ_IPROUTER            1451
#define IDC_MULTIPUESTO_IPROUTER                 1452

// IDD_RESUMENDATOS (CDlgResumenDatos, page 11)
#define IDC_RESUMEN_TEXTO                        1480
#define IDC_RESUMEN_ETIQUETA1                    1481
#define IDC_RESUMEN_VALOR1                       1482
#define IDC_RESUMEN_ETIQUETA2                    1483
#define IDC_RESUMEN_VALOR2                       1484
#define IDC_RESUMEN_ETIQUETA3                    1485
#define IDC_RESUMEN_VALOR3                       1486
#define IDC_RESUMEN_ETIQUETA4                    1487
#define IDC_RESUMEN_VALOR4                       1488
#define IDC_RESUMEN_ETIQUETA5                    1489
#define IDC_RESUMEN_VALOR5                       1490
#define IDC_RESUMEN_ETIQUETA6                    1491
#define IDC_RESUMEN_VALOR6                       1492
#define IDC_RESUMEN_ETIQUETA7                    1493
#define IDC_RESUMEN_VALOR7                       1494
#define IDC_RESUMEN_ETIQUETA8                    1495
#define IDC_RESUMEN_VALOR8                       1496
#define IDC_RESUMEN_ETIQUETA9                    1497
#define IDC_RESUMEN_VALOR9                       1498
#define IDC_RESUMEN_ETIQUETA10                   1499
#define IDC_RESUMEN_VALOR10                      1500
#define IDC_RESUMEN_ETIQUETA11                   1501
#define IDC_RESUMEN_VALOR11                      1502
#define IDC_RESUMEN_ETIQUETA12                   1503
#define IDC_RESUMEN_VALOR12                      1504

// IDD_CONECTIVIDAD (CDlgConectividad, page 12)
#define IDC_CONECTIVIDAD_TEXTO                   1520

// IDD_CABLE (CDlgCable, page 13)
#define IDC_CABLE_TEXTO1                         1560
#define IDC_CABLE_TEXTO2                         1561
#define IDC_CABLE_TEXTO3                         1562

// IDD_CONSOLA (CDlgConsola, page 14)
#define IDC_CONSOLA_TEXTO                        1600
#define IDC_CONSOLA_ETIQ_PUERTO                  1601
#define IDC_CONSOLA_PUERTO                       1602
#define IDC_CONSOLA_AVISO                        1603

// IDD_ACCESOPUERTO (CDlgAccesoPuerto, page 15)
#define IDC_ACCESOPUERTO_TEXTO                   1640

// IDD_MANUAL (CDlgManual, page 16)
#define IDC_MANUAL_TEXTO1                        1680
#define IDC_MANUAL_TEXTO2                        1681
#define IDC_MANUAL_ETIQ_IPROUTER                 1682
#define IDC_MANUAL_IPROUTER                      1683
#define IDC_MANUAL_ETIQ_MASCARA                  1684
#define IDC_MANUAL_MASCARA                       1685
#define IDC_MANUAL_ETIQ_IPPC                     1686
#define IDC_MANUAL_IPPC                          1687
#define IDC_MANUAL_AVISO                         1688

// IDD_CHANGEFIRM (CDlgChangeFirm, page 17)
#define IDC_CHANGEFIRM_TEXTO1                    1720
#define IDC_CHANGEFIRM_TEXTO2                    1721
#define IDC_CHANGEFIRM_TEXTO3                    1722

// IDD_PUERTOS (CDlgPuertos, page 18)
#define IDC_PUERTOS_TEXTO                        1760
#define IDC_LISTA_PUERTOS                        1761
#define IDC_PUERTOS_AGREGAR                      1762
#define IDC_PUERTOS_MODIFICAR                    1763
#define IDC_PUERTOS_ELIMINAR                     1764
#define IDC_PUERTOS_ETIQ_NUMERO                  1765
#define IDC_PUERTOS_NUMERO                       1766
#define IDC_PUERTOS_ETIQ_IP                      1767
#define IDC_PUERTOS_IP                           1768
#define IDC_PUERTOS_ACTUALIZAR                   1769

// IDD_CONFIGURANDO (CDlgConfigurando, page 19)
#define IDC_CONFIGURANDO_TEXTO1                  1800
#define IDC_CONFIGURANDO_TEXTO2                  1801

// IDD_FINERROR (CDlgFinError, page 20)
#define IDC_FINERROR_TEXTO                       1840
#define IDC_FINERROR_CODIGO                      1841
#define IDC_FINERROR_DETALLE                     1842

// IDD_FINOK (CDlgFinOK, page 21)
#define IDC_FINOK_LINEA1                         1880
#define IDC_FINOK_LINEA2                         1881
#define IDC_FINOK_RUTAS                          1882
#define IDC_FINOK_LINEA3                         1883

// IDD_PASSWORD (CDlgPassword, page 22)
#define IDC_PASSWORD_TEXTO                       1920
#define IDC_PASSWORD_ETIQ_CLAVE                  1921
#define IDC_PASSWORD_CLAVE                       1922
#define IDC_PASSWORD_PIE                         1923
