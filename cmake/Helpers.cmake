# qb_library(NAME DIR [DEPS ...]): a static library of every .cpp under DIR.
function(qb_library name dir)
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
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_compile_options(${name} PRIVATE ${QB_WARNINGS})
  if(ARGN)
    target_link_libraries(${name} PUBLIC ${ARGN})
  endif()
endfunction()

# qb_test(NAME DIR [DEPS ...]): one GoogleTest executable of every .cpp under DIR,
# each test registered with CTest on its own so ctest -j spreads them.
function(qb_test name dir)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(QB_SKIP)
    list(FILTER sources EXCLUDE REGEX "${QB_SKIP}")
  endif()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${QB_WARNINGS})
  target_link_libraries(${name} PRIVATE qb_testsupport ${ARGN} GTest::gtest GTest::gmock)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QB_TESTDATA=${QB_TESTDATA_DIR}" TIMEOUT 600)
endfunction()
