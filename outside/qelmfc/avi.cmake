# The animation reader of the binding: plain C++ on the platform, a library of its own so the
# Qt part, its test and the fuzz target share one build of it.
add_library(qelmfc_avi STATIC ${CMAKE_CURRENT_LIST_DIR}/Avi.cpp)
kit_target_defaults(qelmfc_avi)
target_include_directories(qelmfc_avi PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qelmfc_avi PUBLIC platform)

if(KIT_BUILD_TESTS)
  # Plays the animation the build ships (tools/assets), from the build's res folder.
  kit_test(qelmfc_avi_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/tests/avi_test.cpp LIBS qelmfc_avi)
  target_compile_definitions(qelmfc_avi_test PRIVATE KIT_WIZARD_RES_DIR="${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/res")
  add_dependencies(qelmfc_avi_test kit_wizard_res)
endif()
