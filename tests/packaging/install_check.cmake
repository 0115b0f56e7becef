# Installs the build into a scratch DESTDIR under a prefix other than /usr and
# checks the tree that lands there.
#
#   cmake -DBUILD_DIR=<build> -DCONFIG=<config> -DSCRATCH=<dir> -P install_check.cmake
cmake_minimum_required(VERSION 3.22)

set(prefix /opt/dorvessa)
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")

set(config_args "")
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${SCRATCH}"
          "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status)
  message(FATAL_ERROR "cmake --install failed (${status}):\n${output}")
endif()

# Everything must be under DESTDIR + prefix; nothing written elsewhere.
file(GLOB top RELATIVE "${SCRATCH}" "${SCRATCH}/*")
if(NOT top STREQUAL "opt")
  message(FATAL_ERROR "install wrote outside the prefix: ${top}")
endif()

set(PREFIX_DIR "${SCRATCH}${prefix}")
include("${CMAKE_CURRENT_LIST_DIR}/check_tree.cmake")

# AppStream's own look at the tree: the metainfo finds its desktop entry.
execute_process(COMMAND appstreamcli validate-tree --no-net --strict "${PREFIX_DIR}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status)
  message(FATAL_ERROR "appstreamcli validate-tree failed (${status}):\n${output}")
endif()
