# qv_embed(<target> <symbol> <file>): compiles <file> into <target> as
#   extern const unsigned char <symbol>[]; extern const std::size_t <symbol>_size;
# A file that does not exist yet embeds as zero bytes, so the tree builds
# before every asset has been made (configure again once it exists).
function(qv_embed target symbol file)
  set(out ${CMAKE_BINARY_DIR}/generated/embedded/${symbol}.cpp)
  set(deps qv_embed_tool)
  if(EXISTS ${file})
    list(APPEND deps ${file})
  else()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND qv_embed_tool ${symbol} ${file} ${out}
    DEPENDS ${deps}
    COMMENT "Embedding ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
