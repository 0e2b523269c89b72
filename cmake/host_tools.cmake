# Build-time generators that run on the build machine: qv_embed_tool
# (tools/build/embed, turns asset files into C++ arrays) and contentc
# (tools/build/contentc, compiles the issue's text into C++ tables).
#
# After include(cmake/host_tools.cmake) the executable targets qv_embed_tool
# and contentc may be named in add_custom_command's COMMAND and DEPENDS in
# every build, native or cross:
#
# - native build: both are built here from tools/build/embed and
#   tools/build/contentc (with contentc's library qv_contentc, which the
#   content tests link);
# - cross build (CMAKE_CROSSCOMPILING, e.g. the windows preset): both are
#   imported executables for the build machine, either
#   - taken from an existing native build tree named by QV_HOST_TOOLS_DIR
#     (e.g. build/release, which has tools/build/embed/qv_embed_tool and
#     tools/build/contentc/contentc), or
#   - by default built at build time by a nested native configure of
#     cmake/host_tools/ in <build>/host-tools (ExternalProject; rebuilt
#     whenever the tools' sources change).
#
# Expects qv_root and qv_warnings to exist (native build) and CMAKE_SOURCE_DIR
# to be the tree's root.

if(NOT CMAKE_CROSSCOMPILING)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/build/embed ${CMAKE_BINARY_DIR}/tools/build/embed)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/build/contentc ${CMAKE_BINARY_DIR}/tools/build/contentc)
  return()
endif()

set(QV_HOST_TOOLS_DIR "" CACHE PATH
  "Native build tree with qv_embed_tool and contentc to use in a cross build (empty: build them)")
if(CMAKE_HOST_WIN32)
  set(_qv_host_exe ".exe")
else()
  set(_qv_host_exe "")
endif()

if(QV_HOST_TOOLS_DIR)
  foreach(_qv_tool qv_embed_tool contentc)
    find_program(_qv_path_${_qv_tool} ${_qv_tool}
      HINTS ${QV_HOST_TOOLS_DIR}/tools/build/embed ${QV_HOST_TOOLS_DIR}/tools/build/contentc
            ${QV_HOST_TOOLS_DIR}/bin ${QV_HOST_TOOLS_DIR}
      NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT _qv_path_${_qv_tool})
      message(FATAL_ERROR "QV_HOST_TOOLS_DIR=${QV_HOST_TOOLS_DIR} has no ${_qv_tool}; build it there first "
                          "(cmake --build <dir> --target qv_embed_tool contentc) or leave QV_HOST_TOOLS_DIR empty")
    endif()
    add_executable(${_qv_tool} IMPORTED GLOBAL)
    set_target_properties(${_qv_tool} PROPERTIES IMPORTED_LOCATION ${_qv_path_${_qv_tool}})
  endforeach()
  message(STATUS "Host tools from ${QV_HOST_TOOLS_DIR}")
  return()
endif()

# The nested configure must not inherit the target's compiler: find the build
# machine's own (outside any cross sysroot).
find_program(QV_HOST_CXX_COMPILER NAMES g++ c++ clang++ NO_CMAKE_FIND_ROOT_PATH
  DOC "C++ compiler for the build machine's tools in a cross build")
if(NOT QV_HOST_CXX_COMPILER)
  message(FATAL_ERROR "No native C++ compiler found for the host tools (set QV_HOST_CXX_COMPILER)")
endif()

set(_qv_host_bin ${CMAKE_BINARY_DIR}/host-tools/bin)
set(_qv_host_args
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_CXX_COMPILER=${QV_HOST_CXX_COMPILER}
  -DCMAKE_TOOLCHAIN_FILE=
  -DQV_SOURCE_DIR=${CMAKE_SOURCE_DIR}
  -DQV_HOST_TOOLS_BIN=${_qv_host_bin})
if(CMAKE_CXX_COMPILER_LAUNCHER)
  list(APPEND _qv_host_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
elseif(DEFINED ENV{CMAKE_CXX_COMPILER_LAUNCHER})
  list(APPEND _qv_host_args -DCMAKE_CXX_COMPILER_LAUNCHER=$ENV{CMAKE_CXX_COMPILER_LAUNCHER})
endif()

include(ExternalProject)
ExternalProject_Add(qv_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host_tools
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
  PREFIX ${CMAKE_BINARY_DIR}/host-tools/ep
  CMAKE_ARGS ${_qv_host_args}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${_qv_host_bin}/qv_embed_tool${_qv_host_exe} ${_qv_host_bin}/contentc${_qv_host_exe}
  USES_TERMINAL_BUILD ON)

foreach(_qv_tool qv_embed_tool contentc)
  add_executable(${_qv_tool} IMPORTED GLOBAL)
  set_target_properties(${_qv_tool} PROPERTIES IMPORTED_LOCATION ${_qv_host_bin}/${_qv_tool}${_qv_host_exe})
endforeach()
message(STATUS "Host tools: built natively with ${QV_HOST_CXX_COMPILER} in ${CMAKE_BINARY_DIR}/host-tools")
