# The Windows build (MinGW-w64, cmake/mingw-w64.cmake): the product calls the real Win32, COM,
# WinINet, Winsock and RAS, so nothing of the platform's own sources is compiled; GoogleTest
# is built from Debian's sources with the same compiler; resources go through windres.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 1252")

# Windows XP's headers at least: the product's calls are all there since Windows 95 or NT 4,
# and the tests use nothing newer.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501 _WIN32_IE=0x0600 NOMINMAX)

if(KIT_BUILD_TESTS)
  set(KIT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest)")
  if(NOT EXISTS ${KIT_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources not found in ${KIT_GTEST_SOURCE} (Debian package googletest)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KIT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# The product's rooms built for Windows.
set(KIT_WINDOWS_ROOMS common comun param routefix modem tcpip pppoe outside/qelmfc uninstall)
set(KIT_WINDOWS_ROOM_TESTS common param pppoe tcpip comun modem routefix uninstall)
