# dmm_library(<name> <folder> [LIBS ...]): a static library of the .cpp files directly in
# <folder>, exporting the folder as its include directory. A folder without sources is an error:
# a part that went missing must not build into a program that silently lacks it.
function(dmm_library name folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT srcs)
    message(FATAL_ERROR "${name}: no sources in ${folder}")
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${folder})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# dmm_test(<name> <folder> [LIBS ...]): one GoogleTest program of the .cpp files in <folder>,
# registered with CTest test by test.
function(dmm_test name folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(NOT srcs)
    message(FATAL_ERROR "${name}: no test sources in ${folder}")
  endif()
  add_executable(${name} ${srcs} ${PROJECT_SOURCE_DIR}/cmake/test_env.cpp)
  target_compile_definitions(${name} PRIVATE DMM_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             DMM_TEST_BINARY_DIR="${PROJECT_BINARY_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  # The environment (offscreen Qt, DMM_SOURCE_DIR, DMM_BINARY_DIR) comes from test_env.cpp.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
