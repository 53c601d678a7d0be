# cmake -DCHECK=<layer_includes.cmake> -DWORK=<dir> -P layer_includes_test.cmake: runs
# the layer check on a small tree written here, once with includes that reach up
# (plainly, through a relative path, in angle brackets, from a nested folder) among
# ones that do not, then on the same tree without them.
cmake_minimum_required(VERSION 3.25)
set(tree ${WORK}/layer_tree)
file(REMOVE_RECURSE ${tree})
set(rules "host:platform,movie;sound:movie;game/play:game/draw")
set(allowed
  host/kernel/sync.cpp "#include \"host/kernel/sync.h\"\n#include \"sync.h\"\n#include <vector>\n"
  host/kernel/sync.h ""
  sound/stream.cpp "#include \"sound/movie/x.h\"\n#include \"movies/x.h\"\n#include \"game/draw/x.h\"\n"
  movie/movie.h "")
set(reaching
  host/window/window.cpp "#include \"platform/log.h\""
  sound/decoders/wave.cpp "  #  include \"../../movie/movie.h\""
  host/audio/mixer.h "#include <movie/movie.h>"
  game/play/bullets.cpp "#include \"game/draw/draw_table.h\"")

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
