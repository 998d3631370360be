# A deliverable Windows executable: linked statically, so that it imports only
# DLLs that ship with Windows (an elevated program must not pick up a runtime
# DLL from its own folder), with ASLR and DEP, and with its manifest and
# version resource embedded.
#
# halvernik_windows_executable(<target> SUBSYSTEM GUI|CONSOLE
#     DESCRIPTION <text> EXECUTION_LEVEL <level> SOURCES <files...>)
function(halvernik_windows_executable target)
  cmake_parse_arguments(ARG "" "SUBSYSTEM;DESCRIPTION;EXECUTION_LEVEL;OUTPUT_NAME" "SOURCES" ${ARGN})

  set(EXE_NAME "${ARG_OUTPUT_NAME}")
  set(EXE_DESCRIPTION "${ARG_DESCRIPTION}")
  set(EXE_EXECUTION_LEVEL "${ARG_EXECUTION_LEVEL}")
  set(EXE_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(EXE_VERSION "${PROJECT_VERSION}.0")
  set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/app.manifest.in" "${generated}/app.manifest" @ONLY)
  configure_file("${PROJECT_SOURCE_DIR}/cmake/app.rc.in" "${generated}/app.rc" @ONLY)

  add_executable(${target} ${ARG_SOURCES} "${generated}/app.rc")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
  set_property(SOURCE "${generated}/app.rc" APPEND PROPERTY OBJECT_DEPENDS "${generated}/app.manifest")
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>
                      -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
  if(ARG_SUBSYSTEM STREQUAL "GUI")
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
  endif()
endfunction()
