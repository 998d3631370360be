# A deliverable Windows executable: linked statically, so that it imports only
# DLLs that ship with Windows (an elevated program must not pick up a runtime
# DLL from its own folder), with ASLR and DEP, and with its manifest and
# version resource embedded.
#
# The PE header names Windows 7 (6.1), the oldest Windows the manifest lists,
# as the subsystem and OS version: with the linker's default (4.0, Windows NT
# 4) Windows would keep old compatibility behaviour for the image. It is
# terminal-server aware, and carries no timestamp, so that a build is
# reproducible byte for byte.
#
# Beside the image, the linker writes its link map (<image>.map).
#
# The image is stripped after the link; the unstripped copy, with its debug
# information, stays in symbols/ of the build folder, so that a crash from the
# field can be read against the very file that shipped.
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
  set(EXE_COPYRIGHT "Copyright (C) 2026 Halvernik")
  set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources")
  configure_file("${PROJECT_SOURCE_DIR}/cmake/app.manifest.in" "${generated}/app.manifest" @ONLY)
  configure_file("${PROJECT_SOURCE_DIR}/cmake/app.rc.in" "${generated}/app.rc" @ONLY)

  add_executable(${target} ${ARG_SOURCES} "${generated}/app.rc")
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${ARG_OUTPUT_NAME}")
  set_property(SOURCE "${generated}/app.rc" APPEND PROPERTY OBJECT_DEPENDS "${generated}/app.manifest")
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                      -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware -Wl,--no-insert-timestamp
                      -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
                      -Wl,--major-os-version,6 -Wl,--minor-os-version,1
                      # Which archive members the link took: the release's licence
                      # notices and bill of materials are made from it.
                      -Wl,-Map=$<TARGET_FILE:${target}>.map)
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    set(symbols "${CMAKE_BINARY_DIR}/symbols")
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${symbols}"
      COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:${target}>" "${symbols}/$<TARGET_FILE_NAME:${target}>"
      # strip writes the time into the PE header unless told a date: the
      # linker's 0 again.
      COMMAND "${CMAKE_COMMAND}" -E env SOURCE_DATE_EPOCH=0 "${CMAKE_STRIP}" --strip-all "$<TARGET_FILE:${target}>"
      VERBATIM)
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
  if(ARG_SUBSYSTEM STREQUAL "GUI")
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE TRUE)
  endif()
endfunction()
