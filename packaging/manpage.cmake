# Writes a program's gzipped manual page with help2man, from the program's own
# --help, so the page says what the program does. Included by the install
# step (packaging.cmake), which runs the program from the build folder:
#   qmx_write_manpage(PROGRAM file NAME name SUMMARY text VERSION v
#                     INCLUDE file.h2m OUTPUT dir [SUBCOMMANDS sub...])
# Each subcommand's own --help becomes a subsection of SUBCOMMANDS.

# Text as roff that prints it verbatim.
function(qmx_roff_verbatim text out_var)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

function(qmx_write_manpage)
  cmake_parse_arguments(M "" "PROGRAM;NAME;SUMMARY;VERSION;INCLUDE;OUTPUT" "SUBCOMMANDS" ${ARGN})
  find_program(QMX_HELP2MAN help2man)
  if(NOT QMX_HELP2MAN)
    message(FATAL_ERROR "help2man not found; the packages need it for the manual pages "
                        "(apt-get install help2man).")
  endif()
  get_filename_component(bindir "${M_PROGRAM}" DIRECTORY)
  # Run by name from a neutral environment: the page shows "qmx-server", and
  # no default that depends on who built it (a home folder).
  set(run ${CMAKE_COMMAND} -E env --unset=HOME --unset=XDG_DATA_HOME --unset=DISPLAY
      --unset=WAYLAND_DISPLAY "PATH=${bindir}:$ENV{PATH}" LC_ALL=C.UTF-8)

  set(work "${M_OUTPUT}/${M_NAME}.h2m")
  file(READ "${M_INCLUDE}" include)
  foreach(sub IN LISTS M_SUBCOMMANDS)
    if(NOT sub_heading)
      string(APPEND include "\n[SUBCOMMANDS]\n")
      set(sub_heading ON)
    endif()
    execute_process(COMMAND ${run} ${M_NAME} ${sub} --help
                    OUTPUT_VARIABLE help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${M_NAME} ${sub} --help failed (${rc})")
    endif()
    qmx_roff_verbatim("${help}" help)
    string(APPEND include ".SS \"${M_NAME} ${sub}\"\n.nf\n${help}.fi\n")
  endforeach()
  file(MAKE_DIRECTORY "${M_OUTPUT}")
  file(WRITE "${work}" "${include}")

  set(page "${M_OUTPUT}/${M_NAME}.1")
  execute_process(
    COMMAND ${run} ${QMX_HELP2MAN} --no-info --section=1 "--name=${M_SUMMARY}"
            "--version-string=${M_VERSION}" "--include=${work}" "--output=${page}" ${M_NAME}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "help2man ${M_NAME}: ${err}")
  endif()
  # Maximum compression and no name or time stamp, as Debian's tools expect.
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${page} failed")
  endif()
endfunction()
