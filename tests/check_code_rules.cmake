# Rules on the product's code that a grep can check. One naming scheme: no type with a C prefix
# and no member named by its type (m_strName, m_nCount, ...). The core (reception, decoders,
# formats, document, without the Qt-based reception/live) builds in the browser too, whose C++
# library lacks ranges, std::format, std::bit_cast, <source_location> and std::jthread. The
# shells (app, cli) take the core through its public headers (include/zendrik/) and the document
# alone, beside the Qt adapters (reception/live, platform) and each other's own. Fails naming
# every line that breaks a rule.
cmake_minimum_required(VERSION 3.20)
set(core decoders document formats reception)
set(offending "")
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*.h ${SOURCE}/*.cpp)
list(FILTER files INCLUDE REGEX "^(app|cli|decoders|document|formats|platform|reception)/")
foreach(name ${files})
  string(REGEX MATCH "^[a-z]+" folder "${name}")
  set(file ${SOURCE}/${name})
  file(STRINGS ${file} lines REGEX "(class|struct)[ \t]+C[A-Z]|m_(str|n|b|p|sz|dw)[A-Z]")
  foreach(line ${lines})
    list(APPEND offending "${name} (naming): ${line}")
  endforeach()
  if(folder MATCHES "^(app|cli)$")
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
    list(FILTER lines EXCLUDE REGEX "\"(zendrik|document|reception/live|platform|app|cli)/")
    foreach(line ${lines})
      list(APPEND offending "${name} (a shell past the public headers): ${line}")
    endforeach()
  endif()
  if(folder IN_LIST core AND NOT name MATCHES "^reception/live/")
    file(STRINGS ${file} lines
         REGEX "std::ranges|std::views|<ranges>|std::format[^_a-zA-Z]|<format>|std::bit_cast|<source_location>|std::jthread")
    foreach(line ${lines})
      list(APPEND offending "${name} (not in the browser's C++ library): ${line}")
    endforeach()
  endif()
endforeach()
if(offending)
  list(JOIN offending "\n  " text)
  message(FATAL_ERROR "code rules broken:\n  ${text}")
endif()
