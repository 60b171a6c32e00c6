# Fails when a file of one layer includes a file of a higher layer. The
# layers, lowest first: base <- package <- device <- transfer <- ui <- app;
# a file's folder tells its layer. sim/, tools/ and tests/ stand outside:
# they may include any layer, and no layer may include them. Run by CTest
# as layers_point_down:
#   cmake -DROOT=<source folder> -P check_layers.cmake
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source folder> -P check_layers.cmake")
endif()

set(layers base package device transfer ui app)
set(outside sim tools tests)

# The rank of the folder that starts `path` (relative to ROOT) in `out`:
# 0 to 5 for a layer, 99 for a folder outside the layers, -1 for any other.
function(rank_of path out)
  string(REGEX MATCH "^[^/]+" top "${path}")
  list(FIND layers "${top}" rank)
  if(rank EQUAL -1)
    list(FIND outside "${top}" outside_rank)
    if(NOT outside_rank EQUAL -1)
      set(rank 99)
    endif()
  endif()
  set(${out} ${rank} PARENT_SCOPE)
endfunction()

set(violations "")
set(checked 0)
foreach(layer IN LISTS layers)
  file(GLOB_RECURSE files RELATIVE "${ROOT}"
       "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp" "${ROOT}/${layer}/*.rc")
  list(FIND layers "${layer}" own_rank)
  foreach(file IN LISTS files)
    math(EXPR checked "${checked} + 1")
    get_filename_component(folder "${file}" DIRECTORY)
    file(STRINGS "${ROOT}/${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" target "${line}")
      # A name beside the including file counts as that file's folder; any
      # other name is taken from the source root, as the build resolves it.
      if(EXISTS "${ROOT}/${folder}/${target}")
        set(target "${folder}/${target}")
      endif()
      rank_of("${target}" target_rank)
      if(target_rank GREATER own_rank)
        list(APPEND violations "${file} (${layer}) includes ${target}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no files found below ${ROOT}: nothing was checked")
endif()
if(violations)
  list(LENGTH violations count)
  list(JOIN violations "\n  " lines)
  message(FATAL_ERROR "includes that run up the layers (${count}):\n  ${lines}")
endif()
message(STATUS "${checked} files: every include points down or sideways")
