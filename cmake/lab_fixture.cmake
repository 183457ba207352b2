# Set-up and clean-up of a lab that several tests share, run by CTest:
#   cmake -DLAB=<kestrova-lab> -DDIR=<folder> "-DARGS=<a b ...>" -DACTION=up -P lab_fixture.cmake
#   cmake -DLAB=<kestrova-lab> -DDIR=<folder> -DACTION=down -P lab_fixture.cmake
# "up" leaves what the lab printed in DIR/up.out and its arguments, one a line,
# in DIR/arguments; the tests' LabSession joins the lab from there.
if(ACTION STREQUAL "up")
  separate_arguments(ARGS UNIX_COMMAND "${ARGS}")
  # A lab left behind by an interrupted run goes first.
  if(EXISTS ${DIR}/up.out)
    execute_process(COMMAND ${LAB} down --dir ${DIR} OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endif()
  file(REMOVE_RECURSE ${DIR})
  file(MAKE_DIRECTORY ${DIR})
  # Files, not pipes: the phones the lab leaves running keep their output open.
  execute_process(COMMAND ${LAB} up --dir ${DIR} ${ARGS}
    OUTPUT_FILE ${DIR}/up.out ERROR_FILE ${DIR}/up.err
    RESULT_VARIABLE rc TIMEOUT 120)
  if(NOT rc EQUAL 0)
    file(READ ${DIR}/up.err err)
    message(FATAL_ERROR "kestrova-lab up ${ARGS} failed (${rc}): ${err}")
  endif()
  list(JOIN ARGS "\n" lines)
  file(WRITE ${DIR}/arguments "${lines}\n")
elseif(ACTION STREQUAL "down")
  execute_process(COMMAND ${LAB} down --dir ${DIR} RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "kestrova-lab down failed (${rc})")
  endif()
else()
  message(FATAL_ERROR "ACTION must be up or down")
endif()
