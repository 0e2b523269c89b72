# Embedding refuses what would build a program with a hole in it: a missing
# asset or one of the wrong size stops the configure (qv_embed) and the
# embedding step (qv_embed_tool); a good one goes through.
#   cmake -DSOURCE_DIR=<tree> -DEMBED_TOOL=<qv_embed_tool> -DWORK=<scratch> -P embed_check.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/four.bin "abcd")
set(failures 0)
macro(fail what)
  message(SEND_ERROR "${what}")
  math(EXPR failures "${failures} + 1")
endmacro()

# One configure of a project that embeds `file` with `args`; sets `rc` and `said`.
function(configure_with name file args)
  set(dir ${WORK}/${name})
  file(MAKE_DIRECTORY ${dir}/src)
  file(WRITE ${dir}/src/CMakeLists.txt
       "cmake_minimum_required(VERSION 3.25)\nproject(embed_check NONE)\n"
       "include(${SOURCE_DIR}/cmake/embed.cmake)\nadd_custom_target(holder)\n"
       "qv_embed(holder qv_check ${file} ${args})\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${dir}/src -B ${dir}/build
                  RESULT_VARIABLE r OUTPUT_VARIABLE o ERROR_VARIABLE e)
  set(rc ${r} PARENT_SCOPE)
  string(REGEX REPLACE "[ \n]+" " " e "${e}")  # CMake wraps its messages
  set(said "${o}${e}" PARENT_SCOPE)
endfunction()

configure_with(missing ${WORK}/absent.bin "")
if(rc EQUAL 0 OR NOT said MATCHES "absent.bin does not exist")
  fail("a missing asset configured (${rc}): ${said}")
endif()
configure_with(wrong_size ${WORK}/four.bin "SIZE 5")
if(rc EQUAL 0 OR NOT said MATCHES "four.bin has 4 bytes, not 5")
  fail("an asset of the wrong size configured (${rc}): ${said}")
endif()
configure_with(good ${WORK}/four.bin "SIZE 4")
if(NOT rc EQUAL 0)
  fail("a good asset did not configure: ${said}")
endif()

# The embedding step, for a file changed or removed after configuring.
function(embed name input)
  execute_process(COMMAND ${EMBED_TOOL} qv_check ${input} ${WORK}/${name}.cpp ${ARGN}
                  RESULT_VARIABLE r ERROR_VARIABLE e)
  set(rc ${r} PARENT_SCOPE)
  set(said "${e}" PARENT_SCOPE)
endfunction()
embed(tool_missing ${WORK}/absent.bin)
if(rc EQUAL 0 OR EXISTS ${WORK}/tool_missing.cpp)
  fail("the embedder took a missing file (${rc})")
endif()
embed(tool_wrong_size ${WORK}/four.bin 3)
if(rc EQUAL 0 OR EXISTS ${WORK}/tool_wrong_size.cpp OR NOT said MATCHES "has 4 bytes, not 3")
  fail("the embedder took a file of the wrong size (${rc}): ${said}")
endif()
embed(tool_good ${WORK}/four.bin 4)
if(EXISTS ${WORK}/tool_good.cpp)
  file(READ ${WORK}/tool_good.cpp text)
endif()
if(NOT rc EQUAL 0 OR NOT text MATCHES "qv_check\\[5\\] = {\n97,98,99,100,0};" OR NOT text MATCHES "qv_check_size = 4;")
  fail("the embedder did not write the four bytes (${rc}): ${said}${text}")
endif()

if(failures EQUAL 0)
  file(REMOVE_RECURSE ${WORK})
else()
  message(FATAL_ERROR "${failures} embedding checks failed")
endif()
