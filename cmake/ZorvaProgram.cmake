# How a target of ours is declared: one place for Qt's code generators and for the programs.

include(GNUInstallDirs)

# Runs moc, uic and rcc for a target that uses Qt; Qt-free targets stay free of them. The .ui
# files of a program live in its resources/ folder.
function(zorva_use_qt target)
  set_target_properties(${target} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  foreach(folder ${CMAKE_CURRENT_SOURCE_DIR}/resources ${CMAKE_CURRENT_SOURCE_DIR}/../resources)
    if(IS_DIRECTORY ${folder})
      set_property(TARGET ${target} APPEND PROPERTY AUTOUIC_SEARCH_PATHS ${folder})
    endif()
  endforeach()
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
