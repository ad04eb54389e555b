# Under the sanitizers any report fails the test; lsan.supp names the allocations
# third-party libraries never free, each with its reason.
set(tolva_sanitizer_env "")
if(TOLVA_SANITIZE)
  set(supp ${CMAKE_SOURCE_DIR}/tests/sanitizers)
  set(tolva_sanitizer_env
    # new_delete_type_mismatch=0: Chromium inside Qt WebEngine frees some of its own
    # objects through a base of another size; every page load reports it.
    # fast_unwind_on_malloc=0: GLib and GStreamer have no frame pointers, so only the
    # slow unwinder sees past them to the frames the suppressions name.
    # malloc_context_size=20: enough to reach those frames, and cheaper to record.
    "ASAN_OPTIONS=detect_leaks=1:new_delete_type_mismatch=0:fast_unwind_on_malloc=0:malloc_context_size=20"
    "LSAN_OPTIONS=suppressions=${supp}/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    # Mesa's llvmpipe registers its JIT code's unwind tables while holding libgcc's lock,
    # and the slow unwinder needs that lock at the allocation inside: a deadlock. softpipe
    # has no JIT.
    "GALLIUM_DRIVER=softpipe"
    "TOLVA_SANITIZED=1")
  # Kept loaded so that a leak report can name it (see lsan.supp).
  set(mesa_driver /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri/swrast_dri.so)
  if(EXISTS ${mesa_driver})
    list(APPEND tolva_sanitizer_env "LD_PRELOAD=${mesa_driver}")
  endif()
endif()

# tolva_add_qtest(NAME name SOURCES ... LIBS ... [ENV VAR=value ...] [TIMEOUT s] [COMMAND_PREFIX ...])
# Builds a Qt Test executable and registers it with CTest. By default it runs
# on the offscreen platform with Qt WebEngine set up for a headless root run.
function(tolva_add_qtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;COMMAND_PREFIX" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${T_NAME} PRIVATE TOLVA_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
  add_test(NAME ${T_NAME} COMMAND ${T_COMMAND_PREFIX} $<TARGET_FILE:${T_NAME}>)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(TOLVA_SANITIZE)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")   # the slow unwinder at every allocation
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;${tolva_sanitizer_env};${T_ENV}")
endfunction()
