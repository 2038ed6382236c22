# Fails when a file of src/ includes a header of a folder that does not lie below its own. The
# layers, bottom up, one line each; a file may include its own folder and any folder on a lower
# line. Folders on one line stand side by side and include nothing of each other. A folder the
# order does not name fails too: a new folder takes its place here first. src/CMakeLists.txt adds
# the libraries in the same order, each linking only what lies below it.
# Usage: cmake -DROOT=<source folder> -P check_layers.cmake
set(layers
    "runtime/base"
    "runtime/lunar runtime/picture runtime/pinyin runtime/sheet runtime/store"
    "runtime/ui/widgets"
    "runtime/ui"
    "forms core"
    "shell"
    "contacts"
    "calendar"
    "search exchange"
    "app")

set(level 0)
foreach(line IN LISTS layers)
  string(REPLACE " " ";" folders "${line}")
  foreach(folder IN LISTS folders)
    set(level_of_${folder} ${level})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()

file(GLOB_RECURSE files ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/src/*.inc)
set(offending "")
foreach(f IN LISTS files)
  file(RELATIVE_PATH rel ${ROOT}/src ${f})
  get_filename_component(folder ${rel} DIRECTORY)
  if(NOT DEFINED level_of_${folder})
    list(APPEND offending "src/${rel}: its folder has no place in the order of layers")
    continue()
  endif()
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
    get_filename_component(target ${header} DIRECTORY)
    if(target STREQUAL "" OR target STREQUAL folder)
      continue()
    endif()
    if(NOT DEFINED level_of_${target})
      list(APPEND offending "src/${rel}: ${header} (no layer)")
    elseif(NOT level_of_${target} LESS level_of_${folder})
      list(APPEND offending "src/${rel}: ${header} (not below ${folder})")
    endif()
  endforeach()
endforeach()
if(offending)
  list(JOIN offending "\n  " text)
  message(FATAL_ERROR "includes that do not point down:\n  ${text}")
endif()
list(LENGTH files n)
message(STATUS "every include points down (${n} files)")
