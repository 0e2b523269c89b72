# Toolchain of the web preset: Debian's Emscripten, with its configuration and
# its cache in the build tree (build/web/emscripten/).
#
# Debian's own configuration keeps a frozen, read-only cache. Ours names a
# writable cache beside the build and lets Emscripten add what it still needs.
# The cache is seeded once from the libraries that Debian ships prebuilt (the
# same Emscripten release), so a first build does not have to compile the C
# and C++ runtimes from source; whatever is missing is built into it.
#
# The preset points EM_CONFIG and EM_CACHE at these paths, and NODE_PATH at
# Debian's node modules (Emscripten's JavaScript passes need acorn from
# node-acorn, which a node not from Debian does not look for).

set(_qv_em_root /usr/share/emscripten)
if(NOT EXISTS ${_qv_em_root}/cmake/Modules/Platform/Emscripten.cmake)
  message(FATAL_ERROR "Debian's emscripten is not installed (sh tools/setup.sh installs it)")
endif()

if(DEFINED ENV{EM_CONFIG})
  set(_qv_em_config $ENV{EM_CONFIG})
else()
  set(_qv_em_config ${CMAKE_BINARY_DIR}/emscripten/config.py)
  set(ENV{EM_CONFIG} ${_qv_em_config})
endif()
if(DEFINED ENV{EM_CACHE})
  set(_qv_em_cache $ENV{EM_CACHE})
else()
  set(_qv_em_cache ${CMAKE_BINARY_DIR}/emscripten/cache)
  set(ENV{EM_CACHE} ${_qv_em_cache})
endif()
if(NOT DEFINED ENV{NODE_PATH})
  set(ENV{NODE_PATH} /usr/share/nodejs)
endif()

find_program(_qv_node NAMES node nodejs REQUIRED)
file(WRITE ${_qv_em_config}.new
  "# Written by cmake/emscripten.cmake.\n"
  "LLVM_ROOT = '/usr/bin'\n"
  "BINARYEN_ROOT = '/usr'\n"
  "NODE_JS = '${_qv_node}'\n"
  "LLVM_ADD_VERSION = '14'\n"
  "CLANG_ADD_VERSION = '14'\n"
  "CACHE = '${_qv_em_cache}'\n"
  "FROZEN_CACHE = False\n")
file(COPY_FILE ${_qv_em_config}.new ${_qv_em_config} ONLY_IF_DIFFERENT)
file(REMOVE ${_qv_em_config}.new)

# Seed the cache: system headers and the runtime libraries of a plain
# single-threaded build, as Debian built them.
set(_qv_debian_cache ${_qv_em_root}/cache)
if(NOT EXISTS ${_qv_em_cache}/sysroot_install.stamp AND EXISTS ${_qv_debian_cache}/sysroot_install.stamp)
  set(_qv_lib sysroot/lib/wasm32-emscripten)
  file(MAKE_DIRECTORY ${_qv_em_cache}/${_qv_lib})
  file(COPY ${_qv_debian_cache}/sysroot/include DESTINATION ${_qv_em_cache}/sysroot)
  file(COPY ${_qv_debian_cache}/sysroot/bin DESTINATION ${_qv_em_cache}/sysroot)
  file(GLOB _qv_files ${_qv_debian_cache}/${_qv_lib}/*.a ${_qv_debian_cache}/${_qv_lib}/*.o
       ${_qv_debian_cache}/${_qv_lib}/*.json)
  # Threads, LTO, sanitizers and the libraries of other APIs stay out (32 MB
  # rather than 740).
  list(FILTER _qv_files EXCLUDE REGEX
       "-mt|-ww|lto|asan|lsan|ubsan|sanitizer|libGL-|emmalloc|wasmfs|embind|webgpu|stb_image|standalone|fetch|asmfs|proxy")
  file(COPY ${_qv_files} DESTINATION ${_qv_em_cache}/${_qv_lib})
  file(COPY ${_qv_debian_cache}/sysroot_install.stamp DESTINATION ${_qv_em_cache})
endif()

# Every compile and link carries the same environment, so the tree also
# builds without the preset's (cmake --build build/web, ninja -C build/web).
set(_qv_em_env env EM_CONFIG=${_qv_em_config} EM_CACHE=${_qv_em_cache} NODE_PATH=$ENV{NODE_PATH})
foreach(_qv_lang C CXX)
  set(CMAKE_${_qv_lang}_COMPILER_LAUNCHER ${_qv_em_env} $ENV{CMAKE_${_qv_lang}_COMPILER_LAUNCHER})
  set(CMAKE_${_qv_lang}_LINKER_LAUNCHER ${_qv_em_env})
endforeach()

include(${_qv_em_root}/cmake/Modules/Platform/Emscripten.cmake)
