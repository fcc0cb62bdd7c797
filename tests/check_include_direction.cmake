# Data flows one way: samples -> bytes (reception/) -> a Transfer (decoders/) -> texts and files
# (formats/), with the document (document/) and the shells on top. A layer never includes one
# above it; what reception needs to know of a watch family reaches it as arguments. Fails naming
# every file that includes a header of a layer above its own.
set(offending "")
foreach(rule "reception:decoders|formats|document|app|cli" "decoders:formats|document|app|cli"
        "formats:document|app|cli")
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 layer)
  list(GET parts 1 above)
  file(GLOB files ${SOURCE}/${layer}/*.h ${SOURCE}/${layer}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${above})/")
    if(lines)
      get_filename_component(name ${file} NAME)
      list(APPEND offending "${layer}/${name}: ${lines}")
    endif()
  endforeach()
endforeach()
if(offending)
  list(JOIN offending "\n  " text)
  message(FATAL_ERROR "a layer includes one above it:\n  ${text}")
endif()
