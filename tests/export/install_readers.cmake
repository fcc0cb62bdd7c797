# Installs the npm readers the export tests check files with into DEST (a folder of the build
# tree), from the pinned package-lock.json in SOURCE. Without npm it says so and succeeds: the
# tests that need the readers then skip with the same message.
find_program(NPM npm)
find_program(NODE node)
if(NOT NPM OR NOT NODE)
  message(STATUS "node or npm not found: the FIT and TCX reader tests will be skipped")
  return()
endif()
file(MAKE_DIRECTORY ${DEST})
foreach(f package.json package-lock.json read_exports.mjs)
  configure_file(${SOURCE}/${f} ${DEST}/${f} COPYONLY)
endforeach()
# The lock file decides what is installed; a second run with the same lock installs nothing.
if(EXISTS ${DEST}/node_modules/.package-lock.json
   AND NOT ${SOURCE}/package-lock.json IS_NEWER_THAN ${DEST}/node_modules/.package-lock.json)
  return()
endif()
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --loglevel=error
                WORKING_DIRECTORY ${DEST} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "npm ci of the export readers failed (${result})")
endif()
