# cmake -DCHECK=<layer_includes.cmake> -DRULES_FILE=<layer_rules.cmake> -DORDER=<a,b,...>
#       -DHEADLESS=<...> -DHEADLESS_FORBIDS=<...> -DWORK=<dir> -P layer_includes_test.cmake:
# runs the layer check, with the rules the build derives from the project's own order, on
# a small tree written here. Every folder of the order includes the folder just above it
# (refused) and the one just below it (allowed); a nested layer is told from its parent;
# relative, angle-bracket and indented includes cannot step round the rules; the headless
# folders are refused the library and the save files. Then the same tree without the
# refused includes must pass.
cmake_minimum_required(VERSION 3.25)
include(${RULES_FILE})
string(REPLACE "," ";" order "${ORDER}")
string(REPLACE "," ";" headless "${HEADLESS}")
string(REPLACE "," ";" headless_forbids "${HEADLESS_FORBIDS}")
layer_rules(rules ORDER ${order} HEADLESS ${headless} HEADLESS_FORBIDS ${headless_forbids})
set(tree ${WORK}/layer_tree)
file(REMOVE_RECURSE ${tree})

# Pairs of a file and its text.
set(allowed "")
set(reaching "")
set(below "")
set(left ${order})
foreach(folder IN LISTS order)
  list(POP_FRONT left)
  file(WRITE ${tree}/${folder}/x.h "")
  set(text "#include \"${folder}/x.h\"\n#include <vector>\n")
  if(below AND NOT folder IN_LIST headless)
    string(APPEND text "#include \"${below}/x.h\"\n")
  endif()
  list(APPEND allowed ${folder}/down.cpp "${text}")
  if(left)
    list(GET left 0 next)
    list(APPEND reaching ${folder}/up.cpp "#include \"${next}/x.h\"")
  endif()
  set(below ${folder})
endforeach()
foreach(folder IN LISTS headless)
  list(APPEND allowed ${folder}/platform_only.cpp "#include \"platform/x.h\"")
  foreach(forbidden IN ITEMS image sound/decoders filters/system ${headless_forbids})
    string(MAKE_C_IDENTIFIER "${forbidden}" name)
    list(APPEND reaching ${folder}/uses_${name}.cpp "#include \"${forbidden}/x.h\"")
  endforeach()
endforeach()
list(APPEND allowed
  sound/uses_decoders.cpp "#include \"sound/decoders/x.h\""
  filters/prefix_only.cpp "#include \"filters/system_allocator.h\"")
list(APPEND reaching
  sound/decoders/uses_sound.cpp "#include \"sound/x.h\""
  host/window/nested.cpp "#include \"platform/x.h\""
  sound/decoders/relative.cpp "  #  include \"../../movie/x.h\""
  host/audio/angle.h "#include <movie/x.h>")

function(write_tree pairs)
  while(pairs)
    list(POP_FRONT pairs file text)
    file(WRITE ${tree}/${file} "${text}\n")
  endwhile()
endfunction()
function(run_check out_rc out_text)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} "-DRULES=${rules}" -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  set(${out_rc} ${rc} PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

write_tree("${allowed}")
write_tree("${reaching}")
run_check(rc text)
if(rc EQUAL 0)
  message(FATAL_ERROR "includes up the layers passed the check")
endif()
string(REGEX MATCHALL "[^\n]*must not include" named "${text}")
list(LENGTH named count)
list(LENGTH reaching entries)
math(EXPR expected "${entries} / 2")
if(NOT count EQUAL expected)
  message(FATAL_ERROR "${count} includes named, ${expected} expected:\n${text}")
endif()
while(reaching)
  list(POP_FRONT reaching file)
  list(POP_FRONT reaching)
  if(NOT text MATCHES " ${file}: ")
    message(FATAL_ERROR "${file} not named:\n${text}")
  endif()
  file(REMOVE ${tree}/${file})
endwhile()

run_check(rc text)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "a tree within the rules was refused:\n${text}")
endif()
