# Data flows one way: samples -> bytes (reception/) -> a Transfer (decoders/) -> texts and files
# (formats/), with the document (document/) and the shells on top. A layer never includes one
# above it; what reception needs to know of a watch family reaches it as arguments. The live
# threads (reception/live/) and the adapters (platform/) use Qt, so the stages below them never
# include them: the core builds without Qt. Each rule covers its folder with every subfolder; a
# folder named as above a layer is exempt only for the files inside it. Fails naming every file
# that includes a header of a layer above its own, or a Qt header from the core.
set(core_above "reception/live|platform|app|cli")
set(rules "reception:decoders|formats|document|${core_above}" "decoders:formats|document|${core_above}"
    "formats:document|${core_above}" "document:${core_above}" "platform:reception/live|app|cli")
set(offending "")
foreach(rule ${rules})
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 layer)
  list(GET parts 1 above)
  string(REPLACE "|" ";" aboveFolders "${above}")
  file(GLOB_RECURSE files ${SOURCE}/${layer}/*.h ${SOURCE}/${layer}/*.cpp)
  foreach(file ${files})
    file(RELATIVE_PATH name ${SOURCE} ${file})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(folder ${aboveFolders})
      if(name MATCHES "^${folder}/")
        continue()
      endif()
      set(lines ${includes})
      list(FILTER lines INCLUDE REGEX "[\"<]${folder}/")
      if(lines)
        list(APPEND offending "${name}: ${lines}")
      endif()
    endforeach()
    string(REGEX MATCH "^(reception/live|platform)/" qtFolder "${name}")
    set(lines ${includes})
    list(FILTER lines INCLUDE REGEX "<Q")
    if(lines AND NOT qtFolder)
      list(APPEND offending "${name} (Qt in the core): ${lines}")
    endif()
  endforeach()
endforeach()
if(offending)
  list(REMOVE_DUPLICATES offending)
  list(JOIN offending "\n  " text)
  message(FATAL_ERROR "a layer includes one above it:\n  ${text}")
endif()
