# Installs the build into a scratch prefix and checks that a desktop user gets the programs,
# the desktop entry and the icon where the desktop looks for them.
set(prefix ${BUILD}/install-check)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file bin/zendrik bin/zendrik-cli share/applications/zendrik.desktop
             share/icons/hicolor/scalable/apps/zendrik.svg)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ ${prefix}/share/applications/zendrik.desktop entry)
if(NOT entry MATCHES "Exec=zendrik %f" OR NOT entry MATCHES "Icon=zendrik")
  message(FATAL_ERROR "the desktop entry does not start zendrik with its icon")
endif()
file(REMOVE_RECURSE ${prefix})
