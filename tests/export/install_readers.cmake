# Installs the npm readers the export tests check files with into DEST (a folder of the build
# tree), from the pinned package-lock.json in SOURCE, and puts the TrainingCenterDatabase v2
# schema beside them. Without npm, or without the schema, it says so and succeeds: the tests that
# need them then skip with the same message.

# The schema comes from Debian's pytrainer package, which ships Garmin's file; only the package
# is downloaded and unpacked, nothing is installed. The checksum pins the schema's text.
set(schema ${DEST}/GarminTrainingCenterDatabase_v2.xsd)
set(schema_sha256 d64d687488dfe429ea3ce2ac4f1fbc7c333d80776a478b2b6843c7cc0403cda9)
find_program(APT_GET apt-get)
find_program(DPKG_DEB dpkg-deb)
if(NOT EXISTS ${schema} AND APT_GET AND DPKG_DEB)
  set(unpack ${DEST}/schema-package)
  file(REMOVE_RECURSE ${unpack})
  file(MAKE_DIRECTORY ${unpack})
  execute_process(COMMAND ${APT_GET} download -qq pytrainer WORKING_DIRECTORY ${unpack}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  file(GLOB deb ${unpack}/pytrainer_*.deb)
  if(result EQUAL 0 AND deb)
    execute_process(COMMAND ${DPKG_DEB} -x ${deb} ${unpack}/root RESULT_VARIABLE result)
    set(unpacked ${unpack}/root/usr/share/pytrainer/schemas/GarminTrainingCenterDatabase_v2.xsd)
    if(result EQUAL 0 AND EXISTS ${unpacked})
      file(SHA256 ${unpacked} sum)
      if(sum STREQUAL schema_sha256)
        file(COPY_FILE ${unpacked} ${schema})
      else()
        message(STATUS "the TCX schema in ${deb} is not the one expected (${sum})")
      endif()
    endif()
  endif()
  file(REMOVE_RECURSE ${unpack})
endif()
if(NOT EXISTS ${schema})
  message(STATUS "the TCX schema could not be fetched: the schema test will be skipped")
endif()

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
