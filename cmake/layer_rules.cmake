# layer_rules(<out> ORDER <folder>... HEADLESS <folder>... HEADLESS_FORBIDS <folder>...):
# the rows of layer_includes.cmake, "<folder>:<above>,<above>,...", derived from the one
# order of layers (bottom first): each folder's row forbids every folder after it. A
# headless folder also forbids every library folder but platform, and the folders named.
function(layer_rules out)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ORDER;HEADLESS;HEADLESS_FORBIDS")
  set(rules "")
  set(left ${arg_ORDER})
  foreach(folder IN LISTS arg_ORDER)
    list(POP_FRONT left)
    list(JOIN left "," above)
    list(APPEND rules "${folder}:${above}")
  endforeach()
  set(library ${arg_ORDER})
  list(FIND library game/play first_game)
  list(SUBLIST library 0 ${first_game} library)
  list(REMOVE_ITEM library platform)
  list(APPEND library ${arg_HEADLESS_FORBIDS})
  list(JOIN library "," forbidden)
  foreach(folder IN LISTS arg_HEADLESS)
    list(APPEND rules "${folder}:${forbidden}")
  endforeach()
  set(${out} "${rules}" PARENT_SCOPE)
endfunction()
