# qv_embed(<target> <symbol> <file> [SIZE <bytes>]): compiles <file> into
# <target> as
#   extern const unsigned char <symbol>[]; extern const std::size_t <symbol>_size;
# A missing file is a configure error (the makers in tools/assets write every
# asset, and their outputs are committed), and so, with SIZE, is a file of any
# other size; the embedding step checks both again when the file changes
# after configuring.
function(qv_embed target symbol file)
  cmake_parse_arguments(ARG "" "SIZE" "" ${ARGN})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${symbol}: ${file} does not exist")
  endif()
  if(DEFINED ARG_SIZE)
    file(SIZE ${file} size)
    if(NOT size EQUAL ARG_SIZE)
      message(FATAL_ERROR "${symbol}: ${file} has ${size} bytes, not ${ARG_SIZE}")
    endif()
  endif()
  set(out ${CMAKE_BINARY_DIR}/generated/embedded/${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND qv_embed_tool ${symbol} ${file} ${out} ${ARG_SIZE}
    DEPENDS qv_embed_tool ${file}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
