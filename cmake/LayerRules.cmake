# Reads cmake/Layers.cmake into global properties, for the build (cmake/Helpers.cmake)
# and for the layer check (cmake/CheckLayers.cmake) alike:
#   QB_LAYERS                  every layer name, in the order written
#   QB_LAYER_DIR_<name>        its folder, relative to the source tree
#   QB_LAYER_EDGES_<name>      the layers its own files may include: itself first, then
#                              exactly those its line names
#   QB_LAYER_FLOOR_<name>      those and everything below them: the include paths its
#                              build needs, since a header it includes includes its own

function(qb_layer name dir)
  get_property(known GLOBAL PROPERTY QB_LAYERS)
  if(name IN_LIST known)
    message(FATAL_ERROR "Layers.cmake: layer ${name} is declared twice")
  endif()
  # The edges are what the line names; the floor is closed under them, for the build
  # only: a header of a lower layer includes its own lower layers, so the compiler must
  # find those, but a file of this layer may still name only its own edges.
  set(floor ${name})
  foreach(below ${ARGN})
    if(NOT below IN_LIST known)
      message(FATAL_ERROR "Layers.cmake: ${name} names ${below}, which is not declared above it")
    endif()
    get_property(below_floor GLOBAL PROPERTY QB_LAYER_FLOOR_${below})
    list(APPEND floor ${below_floor})
  endforeach()
  list(REMOVE_DUPLICATES floor)
  set_property(GLOBAL APPEND PROPERTY QB_LAYERS ${name})
  set_property(GLOBAL PROPERTY QB_LAYER_DIR_${name} ${dir})
  set_property(GLOBAL PROPERTY QB_LAYER_FLOOR_${name} ${floor})
  set_property(GLOBAL PROPERTY QB_LAYER_EDGES_${name} ${name} ${ARGN})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Layers.cmake)

# qb_layer_of_dir(OUT dir): the layer whose folder is `dir` (relative), or "" when none.
function(qb_layer_of_dir out dir)
  get_property(layers GLOBAL PROPERTY QB_LAYERS)
  set(found "")
  foreach(layer ${layers})
    get_property(layer_dir GLOBAL PROPERTY QB_LAYER_DIR_${layer})
    if(layer_dir STREQUAL dir)
      set(found ${layer})
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()
