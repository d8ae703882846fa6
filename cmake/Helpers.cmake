include(${CMAKE_CURRENT_LIST_DIR}/LayerRules.cmake)

# qb_floor_includes(TARGET LAYER): the target sees its layer's floor and nothing more.
# Headers are named from their folder ("foundation/Value.h", "core/KVTask.h"), so each
# layer gets an include root of its own in the build tree holding one link, named after
# the layer, to its folder; a folder outside the floor is simply not there to include.
function(qb_floor_includes target layer)
  get_property(floor GLOBAL PROPERTY QB_LAYER_FLOOR_${layer})
  set(dirs "")
  foreach(l ${floor})
    get_property(l_dir GLOBAL PROPERTY QB_LAYER_DIR_${l})
    set(root ${CMAKE_BINARY_DIR}/layers/${l})
    if(NOT EXISTS ${root}/${l})
      file(MAKE_DIRECTORY ${root})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${l_dir} ${root}/${l} SYMBOLIC)
    endif()
    list(APPEND dirs ${root})
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${dirs})
  else()
    target_include_directories(${target} PRIVATE ${dirs})
  endif()
endfunction()

# qb_library(NAME DIR [DEPS ...]): a static library of every .cpp under DIR, which must be
# a folder declared in cmake/Layers.cmake; it sees that layer's floor.
function(qb_library name dir)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  qb_layer_of_dir(layer ${rel})
  if(NOT layer)
    message(FATAL_ERROR "${rel} is no layer: declare what it may include in cmake/Layers.cmake")
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  # QB_SKIP (a regex) leaves matching sources out: a developer can build around a
  # folder someone else is in the middle of, e.g. -DQB_SKIP=/uikit/
  if(QB_SKIP)
    list(FILTER sources EXCLUDE REGEX "${QB_SKIP}")
  endif()
  if(NOT sources)
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
    qb_floor_includes(${name} ${layer})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_compile_options(${name} PRIVATE ${QB_WARNINGS})
  if(ARGN)
    target_link_libraries(${name} PUBLIC ${ARGN})
  endif()
  qb_floor_includes(${name} ${layer})
endfunction()

# qb_test(NAME DIR [DEPS ...]): one GoogleTest executable of every .cpp under DIR,
# each test registered with CTest on its own so ctest -j spreads them, labelled
# with the executable's name (ctest -L test_src_core runs one executable's tests).
# Tests see the fixtures' floor (everything but benchmarks); the layer check holds
# each test folder to its subject's floor.
function(qb_test name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(QB_SKIP)
    list(FILTER sources EXCLUDE REGEX "${QB_SKIP}")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  # The tests' own code is compiled without optimisation: it only drives the libraries,
  # which keep theirs, and optimising its large test bodies cost a third of each compile.
  target_compile_options(${name} PRIVATE ${QB_WARNINGS} -O0)
  target_link_libraries(${name} PRIVATE qb_testsupport ${ARGN} GTest::gtest GTest::gmock)
  qb_floor_includes(${name} support)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QB_TESTDATA=${QB_TESTDATA_DIR}" TIMEOUT 600 LABELS ${name})
endfunction()
