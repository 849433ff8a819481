# Compiler settings shared by every target of the kit.
set(KIT_SANITIZE "" CACHE STRING "Sanitizer set: address (with undefined) or thread")

set(KIT_COMMON_FLAGS -finput-charset=UTF-8 -fexec-charset=CP1252)
set(KIT_WARNINGS -Wall -Wextra -Werror)
# GCC 12 reports false overlaps inside std::string at -O3 (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND KIT_WARNINGS -Wno-restrict)
endif()

option(KIT_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(KIT_FUZZ)
  # clang only writes UTF-8 narrow literals: fuzz builds keep the Spanish texts in UTF-8, which
  # the parsers under test do not look at. GCC's warnings are the gate; clang's other
  # opinions are not errors here.
  set(KIT_COMMON_FLAGS)
  set(KIT_WARNINGS -Wall -Wextra)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KIT_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(KIT_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Our own code: warnings are errors, sources are UTF-8 and narrow strings are Windows 1252.
function(kit_target_defaults target)
  target_compile_options(${target} PRIVATE ${KIT_WARNINGS} ${KIT_COMMON_FLAGS})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

# kit_test(NAME SOURCES... [LIBS ...]): a GoogleTest program registered with CTest.
function(kit_test name)
  if(NOT KIT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  kit_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} kit_testmain GTest::gtest Threads::Threads)
  if(WIN32)
    # Run under Wine by testing/wine/run.py, one program at a time in one prefix.
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "KIT_BIN=${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
endfunction()
include(GoogleTest)

# kit_resources(TARGET SCRIPT.rc): compiles the resource script with tools/rc into a source of
# TARGET; its resources belong to the module (library or program) TARGET makes.
# On Windows the same script goes through windres, into the module's .rsrc section.
function(kit_resources target script)
  get_filename_component(source ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(WIN32)
    target_sources(${target} PRIVATE ${source})
    return()
  endif()
  get_filename_component(name ${script} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_${name}_rc.cpp)
  add_custom_command(OUTPUT ${output}
    COMMAND kit_rc ${source} -o ${output} -d ${output}.d
    DEPENDS kit_rc ${source}
    DEPFILE ${output}.d
    COMMENT "Compiling resources ${script}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()

# kit_test_needs(TARGET NEEDED...): the programs and libraries of the build a test starts or
# loads. On Windows the PC's tools (machine, regsvr32, routersim...) are Linux programs, run
# from the Linux build, or Wine's own: they are no dependencies of a Windows target.
set(KIT_LINUX_TOOLS machine host rc regedit regsvr32 route routersim winipcfg kit_install kit_rcformat)
function(kit_test_needs target)
  foreach(needed ${ARGN})
    if(WIN32 AND needed IN_LIST KIT_LINUX_TOOLS)
      continue()
    endif()
    add_dependencies(${target} ${needed})
  endforeach()
endfunction()
