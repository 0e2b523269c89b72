# Writes every release file into OUT (build/dist): run by the release_files
# target (`cmake --workflow --preset dist`) with
#   -DSOURCE_DIR=... -DBINARY_DIR=... -DVERSION=... -DOUT=... -DSTRIP=...
# The Linux program comes from BINARY_DIR (already built); the Windows and
# browser editions are built here through their presets.
#   quorvaline_VERSION_amd64.deb            cpack from BINARY_DIR
#   quorvaline-VERSION-windows-x64.zip      quorvaline.exe (stripped), README.txt
#   quorvaline-VERSION-web.zip              index.html, .js, .wasm for a web server
#   quorvaline-VERSION.html                 the browser edition in one file
#   SHA256SUMS
cmake_minimum_required(VERSION 3.25)
foreach(var SOURCE_DIR BINARY_DIR VERSION OUT STRIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "release_files.cmake: ${var} is not set")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${SOURCE_DIR} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The archives' entries carry one fixed time, so the same tree gives the same bytes.
set(stamp "2026-12-01 00:00:00")
function(zip archive folder)
  get_filename_component(parent ${folder} DIRECTORY)
  get_filename_component(name ${folder} NAME)
  file(GLOB_RECURSE entries RELATIVE ${parent} ${folder}/*)
  list(SORT entries)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip --mtime=${stamp} ${entries}
                  WORKING_DIRECTORY ${parent} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
set(staging ${BINARY_DIR}/release_staging)
file(REMOVE_RECURSE ${staging})

# Debian package.
run(${CMAKE_CPACK_COMMAND} --config ${BINARY_DIR}/CPackConfig.cmake -B ${staging}/deb)
file(GLOB deb ${staging}/deb/quorvaline_${VERSION}_*.deb)
file(COPY ${deb} DESTINATION ${OUT})

# Windows: the windows preset's build, the program stripped of its symbols,
# and README.txt with the licence, in Windows line ends.
run(${CMAKE_COMMAND} --preset windows)
run(${CMAKE_COMMAND} --build --preset windows --target quorvaline)
set(windows ${staging}/quorvaline-${VERSION}-windows-x64)
file(MAKE_DIRECTORY ${windows})
run(${STRIP} --strip-all -o ${windows}/quorvaline.exe ${SOURCE_DIR}/build/windows/quorvaline.exe)
file(READ ${SOURCE_DIR}/dist/windows/README.txt readme)
file(READ ${SOURCE_DIR}/LICENSE licence)
string(REPLACE "\n" "\r\n" readme "${readme}${licence}")
file(WRITE ${windows}/README.txt "${readme}")
zip(${OUT}/quorvaline-${VERSION}-windows-x64.zip ${windows})

# Browser edition: the folder for a web server, and the single page.
run(${CMAKE_COMMAND} --preset web)
run(${CMAKE_COMMAND} --build --preset web --target quorvaline_web quorvaline_web_single)
set(web ${staging}/quorvaline-${VERSION}-web)
file(MAKE_DIRECTORY ${web})
foreach(f index.html index.js index.wasm)
  file(COPY ${SOURCE_DIR}/build/web/${f} DESTINATION ${web})
endforeach()
zip(${OUT}/quorvaline-${VERSION}-web.zip ${web})
file(COPY_FILE ${SOURCE_DIR}/build/web/quorvaline.html ${OUT}/quorvaline-${VERSION}.html)

# Sums, in sha256sum's format (sha256sum -c SHA256SUMS checks them).
file(GLOB files RELATIVE ${OUT} ${OUT}/*)
list(SORT files)
set(sums "")
foreach(f IN LISTS files)
  file(SHA256 ${OUT}/${f} sum)
  string(APPEND sums "${sum}  ${f}\n")
endforeach()
file(WRITE ${OUT}/SHA256SUMS "${sums}")
message(STATUS "Release files in ${OUT}:")
foreach(f IN LISTS files ITEMS SHA256SUMS)
  message(STATUS "  ${f}")
endforeach()
