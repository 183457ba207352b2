# In a sanitized build every program carries the suppressions of its
# sanitizer (cmake/tsan.supp, cmake/lsan.supp) compiled in, through the hook
# the sanitizer runtime asks at start (__tsan_default_suppressions,
# __lsan_default_suppressions). So a test run from ctest, a program the lab
# starts, or one started by hand reads the same list, whatever its
# environment. Suppressions given in TSAN_OPTIONS or LSAN_OPTIONS still apply
# on top.
if(KESTROVA_SANITIZE_THREAD)
  set(hook __tsan_default_suppressions)
  set(list_file ${PROJECT_SOURCE_DIR}/cmake/tsan.supp)
elseif(KESTROVA_SANITIZE_ADDRESS)
  set(hook __lsan_default_suppressions)
  set(list_file ${PROJECT_SOURCE_DIR}/cmake/lsan.supp)
else()
  return()
endif()
file(READ ${list_file} suppressions)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
configure_file(${PROJECT_SOURCE_DIR}/cmake/sanitizer_defaults.cpp.in
  ${CMAKE_BINARY_DIR}/generated/sanitizer_defaults.cpp @ONLY)
add_library(kestrova_sanitizer_defaults OBJECT ${CMAKE_BINARY_DIR}/generated/sanitizer_defaults.cpp)
# Objects, not an archive: the runtime has a weak default of its own, so the
# linker would never pull the hook out of an archive.
link_libraries("$<$<AND:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>,${KESTROVA_SANITIZED}>:kestrova_sanitizer_defaults>")
