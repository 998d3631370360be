# yyjson is a dependency, never a copy in this repository. Every build uses the
# same release: an installed yyjson of exactly that version, else the source
# that scripts/fetch-yyjson.sh put in .deps/, else the upstream release.
set(HALVERNIK_YYJSON_VERSION 0.10.0)
set(HALVERNIK_YYJSON_SOURCE "${PROJECT_SOURCE_DIR}/.deps/yyjson-${HALVERNIK_YYJSON_VERSION}")

function(halvernik_add_yyjson_from_source dir)
  add_library(yyjson STATIC "${dir}/src/yyjson.c")
  target_include_directories(yyjson SYSTEM PUBLIC "${dir}/src")
  # Only the reader is used.
  target_compile_definitions(yyjson PUBLIC YYJSON_DISABLE_WRITER=1 YYJSON_DISABLE_UTILS=1)
  add_library(yyjson::yyjson ALIAS yyjson)
endfunction()

find_package(yyjson ${HALVERNIK_YYJSON_VERSION} EXACT CONFIG QUIET)
if(yyjson_FOUND)
  message(STATUS "yyjson: installed ${yyjson_VERSION}")
elseif(EXISTS "${HALVERNIK_YYJSON_SOURCE}/src/yyjson.c")
  message(STATUS "yyjson: source in ${HALVERNIK_YYJSON_SOURCE}")
  halvernik_add_yyjson_from_source("${HALVERNIK_YYJSON_SOURCE}")
else()
  message(STATUS "yyjson: fetching release ${HALVERNIK_YYJSON_VERSION} from upstream")
  include(FetchContent)
  FetchContent_Declare(yyjson_release
    GIT_REPOSITORY https://github.com/ibireme/yyjson.git
    GIT_TAG ${HALVERNIK_YYJSON_VERSION}
    GIT_SHALLOW TRUE)
  FetchContent_GetProperties(yyjson_release)
  if(NOT yyjson_release_POPULATED)
    FetchContent_Populate(yyjson_release)
  endif()
  halvernik_add_yyjson_from_source("${yyjson_release_SOURCE_DIR}")
endif()
