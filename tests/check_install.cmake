# Installs the build into a scratch prefix and checks that a desktop user gets the programs,
# the desktop entry, the icon, the man pages, the completion, the dump file type and the
# AppStream metainfo where the desktop, man and bash look for them.
set(prefix ${BUILD}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/zendrik bin/zendrik-cli share/applications/zendrik.desktop
             share/icons/hicolor/scalable/apps/zendrik.svg
             share/man/man1/zendrik.1.gz share/man/man1/zendrik-cli.1.gz
             share/bash-completion/completions/zendrik-cli share/mime/packages/zendrik.xml
             share/metainfo/io.github.zendrik.Zendrik.metainfo.xml)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# The Debian copyright file and changelog belong to the package only.
if(EXISTS ${prefix}/share/doc/zendrik OR EXISTS ${prefix}/share/lintian)
  message(FATAL_ERROR "cmake --install installed the Debian package's own files")
endif()
file(READ ${prefix}/share/applications/zendrik.desktop entry)
if(NOT entry MATCHES "Exec=zendrik %f" OR NOT entry MATCHES "Icon=zendrik")
  message(FATAL_ERROR "the desktop entry does not start zendrik with its icon")
endif()
# A double-clicked dump or recording opens with Zendrik: the entry claims the dump's type.
file(READ ${prefix}/share/mime/packages/zendrik.xml mime)
string(REGEX MATCH "mime-type type=\"([^\"]+)\"" match "${mime}")
set(dump_type "${CMAKE_MATCH_1}")
if(NOT match OR NOT entry MATCHES "MimeType=[^\n]*${dump_type};" OR NOT entry MATCHES "audio/x-wav;")
  message(FATAL_ERROR "the desktop entry does not open dumps (${dump_type}) and recordings")
endif()
file(REMOVE_RECURSE ${prefix})
