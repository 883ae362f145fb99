# orvandel_install_manual(PAGE SOURCE): installs the manual page PAGE ("orvandel.1") from
# SOURCE, compressed as Debian wants it: gzip -9n keeps no name and no time, so every
# build gives the same bytes.
function(orvandel_install_manual page source)
  string(REGEX REPLACE ".*\\.([1-9])$" "\\1" section ${page})
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND sh -c "gzip -9nc '${source}' > '${compressed}'"
    DEPENDS ${source}
    VERBATIM)
  add_custom_target(manual-${page} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
