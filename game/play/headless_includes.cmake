# cmake -DFILES=<a;b;...> -P headless_includes.cmake: fails naming every include in
# FILES of a folder the headless play must not reach.
set(crossing "")
foreach(file IN LISTS FILES)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(graphics|font|sound|host|softrender|image|movie|game/draw|game/scenes|game/files)/")
  foreach(line IN LISTS lines)
    string(APPEND crossing "\n  ${file}: ${line}")
  endforeach()
endforeach()
if(crossing)
  message(FATAL_ERROR "The headless play includes a layer it must not reach:${crossing}")
endif()
