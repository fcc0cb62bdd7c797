# Reception turns samples into bytes and never depends on the decoders: what it needs to know of
# a watch family reaches it as arguments. Fails naming every reception file that includes a
# decoders/ header itself. The document (sonic_link_data.*) still sits in reception/ and may.
file(GLOB files ${SOURCE}/reception/*.h ${SOURCE}/reception/*.cpp)
set(offending "")
foreach(file ${files})
  get_filename_component(name ${file} NAME)
  if(name MATCHES "^sonic_link_data\\.")
    continue()
  endif()
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]decoders/")
  if(lines)
    list(APPEND offending "${name}: ${lines}")
  endif()
endforeach()
if(offending)
  list(JOIN offending "\n  " text)
  message(FATAL_ERROR "reception/ includes decoders/:\n  ${text}")
endif()
