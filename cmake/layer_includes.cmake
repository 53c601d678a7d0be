# cmake -DROOT=<dir> "-DRULES=<folder>:<above>,<above>;..." -P layer_includes.cmake:
# fails naming every include, in a rule's folder, of a folder the rule puts above it.
# A file, and an include, belongs to the longest rule folder its path starts with, so
# that sound/decoders/ is its own layer and not part of sound/. Includes are written
# from the root; one relative to its file ("../x.h") is resolved first, so that it
# cannot step round the rule.
cmake_minimum_required(VERSION 3.25)

# A folder may have several rows: what it must not include is all of them together.
set(folders "")
foreach(rule IN LISTS RULES)
  string(REGEX REPLACE ":.*" "" folder "${rule}")
  string(REGEX REPLACE "^[^:]*:" "" above "${rule}")
  string(REPLACE "," ";" above "${above}")
  string(MAKE_C_IDENTIFIER "${folder}" key)
  list(APPEND folders ${folder})
  list(APPEND above_${key} ${above})
endforeach()
list(REMOVE_DUPLICATES folders)

# The rule folder a root-relative path lies in (the longest that fits), or "" for none.
function(layer_of path out)
  set(best "")
  string(LENGTH "${best}" best_length)
  foreach(folder IN LISTS folders)
    string(LENGTH "${folder}" length)
    if(path MATCHES "^${folder}/" AND length GREATER best_length)
      set(best ${folder})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(crossing "")
foreach(folder IN LISTS folders)
  string(MAKE_C_IDENTIFIER "${folder}" key)
  set(above ${above_${key}})
  file(GLOB_RECURSE files ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(file IN LISTS files)
    file(RELATIVE_PATH shown ${ROOT} ${file})
    layer_of("${shown}" own)
    if(NOT own STREQUAL folder)
      continue()  # a folder inside this one, checked by its own rule
    endif()
    get_filename_component(dir ${file} DIRECTORY)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]*).*" "\\1" path "${line}")
      if(path MATCHES "^\\.\\.?/" OR EXISTS ${dir}/${path})
        get_filename_component(path ${dir}/${path} ABSOLUTE)
        file(RELATIVE_PATH path ${ROOT} ${path})
      endif()
      layer_of("${path}" up)
      if(up AND up IN_LIST above)
        string(APPEND crossing "\n  ${shown}: ${line}  (${folder}/ must not include ${up}/)")
      endif()
    endforeach()
  endforeach()
endforeach()
if(crossing)
  message(FATAL_ERROR "An include reaches up the layers; move the code down, or let the "
    "higher layer register its entry with the lower one:${crossing}")
endif()
