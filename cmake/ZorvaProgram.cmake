# How a target of ours is declared: one place for Qt's code generators and for the programs.

include(GNUInstallDirs)

# Runs moc, uic and rcc for a target that uses Qt; Qt-free targets stay free of them. Each .ui
# file lies beside the class that includes its ui_*.h, where uic looks for it.
function(zorva_use_qt target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
endfunction()

# Declares one of the programs: built into build/bin beside the others (the agent starts them
# from the folder it runs in) and installed into bin/.
#   zorva_add_program(NAME SOURCES file... [LIBRARIES target...])
function(zorva_add_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "zorva_add_program(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE zorva_build_options ${arg_LIBRARIES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZORVA_PROGRAM_DIR})
  zorva_use_qt(${name})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
