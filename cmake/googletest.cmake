# GoogleTest and GoogleMock, built from their sources with the project's own
# compiler, so that the MinGW-w64 build gets Windows libraries of them too.
# QUILLFEN_GOOGLETEST_SOURCE: set in the top CMakeLists.txt.
if(NOT EXISTS ${QUILLFEN_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${QUILLFEN_GOOGLETEST_SOURCE}; "
                      "install the googletest package (scripts/setup does).")
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUILLFEN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Their sources are not ours to keep warning-free.
foreach(target gtest gtest_main gmock gmock_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()
