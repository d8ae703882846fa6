# QB_SANITIZE builds everything with the compiler's run-time checkers:
# "address,undefined" (AddressSanitizer with its leak checker, and the undefined-
# behaviour checks) or "thread". Each variant gets its own build folder
# (scripts/test does that); the checks stop the process at the first report.
set(QB_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread (empty: none)")
if(QB_SANITIZE)
  # -O1 keeps the checked build quick to run while the reports stay readable.
  # GCC's flow analysis sees the checks' extra branches and warns of uninitialised
  # values inside the standard library that are not there.
  add_compile_options(-fsanitize=${QB_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -O1 -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=${QB_SANITIZE})
endif()

# qb_without_sanitizers(TARGET): the target is built and linked without the checkers,
# whatever QB_SANITIZE says (code loaded into programs that are not checked, or that a
# checker's own thread would break).
function(qb_without_sanitizers target)
  foreach(property COMPILE_OPTIONS LINK_OPTIONS)
    get_target_property(options ${target} ${property})
    if(options)
      list(FILTER options EXCLUDE REGEX "sanitize")
      set_target_properties(${target} PROPERTIES ${property} "${options}")
    endif()
  endforeach()
endfunction()
