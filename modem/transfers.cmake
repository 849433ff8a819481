# DaxModem.so: the modem module's in-process server (the SetZyxelConfig control and its workers).
kit_com_server(DaxModem DaxModem.cpp SetZyxelConfig.cpp)
target_link_libraries(DaxModem PRIVATE kit_modem_config kit_modem_ftp)

# zyxelclient: drives SetZyxelConfig from the command line, as the wizard does (the demo's client).
add_executable(zyxelclient client/ZyxelClient.cpp)
kit_target_defaults(zyxelclient)
target_link_libraries(zyxelclient PRIVATE kit_com kit_param_bindings platform_winmain platform)
add_dependencies(zyxelclient DaxModem DaxParam)

if(KIT_BUILD_TESTS)
  kit_test(modem_transfers_test SOURCES tests/SetZyxelConfig_test.cpp tests/modemtest.cpp
    LIBS kit_modem_config kit_com kit_param_bindings)
  add_dependencies(modem_transfers_test DaxModem DaxParam regsvr32 routersim)
  target_compile_definitions(modem_transfers_test PRIVATE KIT_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
endif()

# bench/setzyxel.cpp drives the object; bench/ is added after the product's folders.
function(kit_modem_transfers_bench)
  if(TARGET bench_setzyxel)
    target_link_libraries(bench_setzyxel PRIVATE kit_com kit_param_bindings)
    target_compile_definitions(bench_setzyxel PRIVATE KIT_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
    add_dependencies(bench_setzyxel DaxModem DaxParam regsvr32 routersim)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kit_modem_transfers_bench)
