# One static library per subsystem folder. Sources are every .cpp directly in
# the folder (and in the listed sub-folders), so adding a file needs no edit here.
function(qv_folder_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LINK" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(d IN LISTS ARG_DIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${globs})
  # Entry points (main.cpp, web_main.cpp) belong to their executables.
  list(FILTER srcs EXCLUDE REGEX "/([a-z]+_)?main\\.cpp$")
  if(NOT srcs)
    # A folder whose sources are still to come builds as an empty library.
    set(srcs ${CMAKE_BINARY_DIR}/generated/empty_${name}.cpp)
    file(WRITE ${srcs} "// ${name}: no sources yet\n")
  endif()
  add_library(${name} STATIC ${srcs})
  target_link_libraries(${name} PUBLIC qv_root ${ARG_LINK} PRIVATE qv_warnings)
endfunction()

# One GoogleTest executable per tests/ sub-folder, registered with CTest.
function(qv_test_folder name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_LINK} GTest::gtest GTest::gtest_main GTest::gmock qv_warnings)
  target_compile_definitions(${name} PRIVATE
    QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QV_TESTDATA_DIR="${CMAKE_SOURCE_DIR}/../shared/testdata"
    QV_BINARY_DIR="${CMAKE_BINARY_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endfunction()
