# CFtp: the modem module's asynchronous FTP client over WinINet. Linked into DaxModem with hidden
# symbols, as the toolkit is.
add_library(kit_modem_ftp STATIC Ftp.cpp)
kit_target_defaults(kit_modem_ftp)
target_include_directories(kit_modem_ftp PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kit_modem_ftp PUBLIC kit_trace kit_ipv4 platform)
set_target_properties(kit_modem_ftp PROPERTIES
  POSITION_INDEPENDENT_CODE ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

if(KIT_BUILD_TESTS)
  kit_test(modem_ftp_test SOURCES tests/Ftp_test.cpp LIBS kit_modem_ftp)
  add_dependencies(modem_ftp_test routersim)
endif()

# bench/ftp.cpp links this library; bench/ is added after the product's folders.
function(kit_modem_ftp_bench)
  if(TARGET bench_ftp)
    target_link_libraries(bench_ftp PRIVATE kit_modem_ftp)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL kit_modem_ftp_bench)
