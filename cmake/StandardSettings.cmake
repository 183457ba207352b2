# Compiler settings shared by every target of the project.

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 11)
set(CMAKE_C_STANDARD_REQUIRED ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

# Only functions marked TSF_API leave a shared library.
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

option(KESTROVA_WARNINGS_AS_ERRORS "Treat compiler warnings as errors (developer builds)" ON)
option(KESTROVA_SANITIZE_ADDRESS "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KESTROVA_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)

if(KESTROVA_SANITIZE_ADDRESS AND KESTROVA_SANITIZE_THREAD)
  message(FATAL_ERROR "AddressSanitizer and ThreadSanitizer cannot be combined")
endif()

add_compile_options(-Wall -Wextra -Wshadow=local -Wformat=2 -Wno-unused-parameter)
if(KESTROVA_WARNINGS_AS_ERRORS)
  add_compile_options(-Werror)
endif()

# A program the build only runs (the picture generator) sets the target
# property KESTROVA_NO_SANITIZER: it is not under test, and a report from
# inside the uninstrumented Qt it drives would otherwise fail the build.
set(KESTROVA_SANITIZED $<NOT:$<BOOL:$<TARGET_PROPERTY:KESTROVA_NO_SANITIZER>>>)
if(KESTROVA_SANITIZE_ADDRESS)
  add_compile_options("$<${KESTROVA_SANITIZED}:-fsanitize=address,undefined;-fno-omit-frame-pointer;-fno-sanitize-recover=undefined>")
  add_link_options("$<${KESTROVA_SANITIZED}:-fsanitize=address,undefined>")
endif()
if(KESTROVA_SANITIZE_THREAD)
  add_compile_options("$<${KESTROVA_SANITIZED}:-fsanitize=thread;-fno-omit-frame-pointer>")
  add_link_options("$<${KESTROVA_SANITIZED}:-fsanitize=thread>")
endif()

# kestrova_build_tool(target): marks a program that only the build runs.
function(kestrova_build_tool target)
  set_target_properties(${target} PROPERTIES KESTROVA_NO_SANITIZER ON)
endfunction()

# Shared libraries must not leave undefined symbols for the program to fill in.
add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,SHARED_LIBRARY>:-Wl,--no-undefined>)

# Reuse objects across build folders and checkouts when ccache is there.
find_program(KESTROVA_CCACHE ccache)
if(KESTROVA_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${KESTROVA_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${KESTROVA_CCACHE})
endif()
