# The router's configuration file: the port list, the template filling, the static routes and
# the reading of a downloaded file. Linked into DaxModem with hidden symbols, as the toolkit is.
add_library(kit_modem_config STATIC ModemConfig.cpp FicheroLineas.cpp Subredes.cpp)
kit_target_defaults(kit_modem_config)
target_include_directories(kit_modem_config PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kit_modem_config PUBLIC kit_param_bindings kit_trace kit_ipv4 platform)
set_target_properties(kit_modem_config PROPERTIES
  POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

if(KIT_BUILD_TESTS)
  kit_test(modem_config_test
    SOURCES tests/Subredes_test.cpp tests/ListaPuertos_test.cpp tests/FicheroCfg_test.cpp tests/Rutas_test.cpp
            tests/LeerConfig812_test.cpp tests/Plantilla643_test.cpp tests/CarpetaSoloLectura_test.cpp
            tests/modemtest.cpp
    LIBS kit_modem_config kit_routerformat)
  add_dependencies(modem_config_test DaxParam regsvr32)
  target_compile_definitions(modem_config_test PRIVATE KIT_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
endif()

# bench/modemcfg.cpp links this library and creates DaxParam's objects; bench/ is added after
# the product's folders, so this waits for the end of the configuration.
function(kit_modem_config_bench)
  if(TARGET bench_modemcfg)
    target_link_libraries(bench_modemcfg PRIVATE kit_modem_config)
    target_compile_definitions(bench_modemcfg PRIVATE KIT_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
    add_dependencies(bench_modemcfg DaxParam)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kit_modem_config_bench)
