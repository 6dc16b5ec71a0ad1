# The x86 and x86-64 decoder `suggest` reads game code with: Zydis, as the
# target quillfen_zydis.
#
# The native build links Debian's library (libzydis-dev). Debian ships it as a
# shared library only, so the Windows build and the statically linked Linux
# tool compile the decoder of the same version themselves: from Debian's source
# package, fetched once into the build folder with `apt-get source` (which
# needs a deb-src entry: scripts/setup adds one), against the headers of
# Debian's libzycore-dev. Only the decoder is compiled (eight C files, a few
# seconds); a build folder that holds the sources already fetches nothing.

if(NOT WIN32 AND NOT QUILLFEN_PORTABLE_ARCHIVE)
  find_package(zydis REQUIRED)
  add_library(quillfen_zydis INTERFACE)
  target_link_libraries(quillfen_zydis INTERFACE Zydis::Zydis)
  return()
endif()

# The version the native build links, when the machine has it; else the one
# of the Debian release the project builds on.
set(QUILLFEN_ZYDIS_VERSION "" CACHE STRING "Version of Debian's zydis source package to build")
if(QUILLFEN_ZYDIS_VERSION STREQUAL "")
  execute_process(COMMAND dpkg-query -W -f=\${Version} libzydis-dev
                  OUTPUT_VARIABLE installed RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND NOT installed STREQUAL "")
    set(QUILLFEN_ZYDIS_VERSION ${installed} CACHE STRING "" FORCE)
  else()
    set(QUILLFEN_ZYDIS_VERSION 4.0.0-1 CACHE STRING "" FORCE)
  endif()
endif()

set(fetched ${CMAKE_BINARY_DIR}/zydis-source/${QUILLFEN_ZYDIS_VERSION})
file(GLOB source_dir LIST_DIRECTORIES true ${fetched}/zydis-*)
if(NOT source_dir OR NOT EXISTS ${source_dir}/src/Decoder.c)
  find_program(QUILLFEN_APT_GET apt-get REQUIRED)
  message(STATUS "Fetching Debian's source package zydis ${QUILLFEN_ZYDIS_VERSION}")
  file(REMOVE_RECURSE ${fetched})
  file(MAKE_DIRECTORY ${fetched})
  execute_process(COMMAND ${QUILLFEN_APT_GET} source -qq zydis=${QUILLFEN_ZYDIS_VERSION}
                  WORKING_DIRECTORY ${fetched} RESULT_VARIABLE status OUTPUT_QUIET
                  ERROR_VARIABLE problem)
  file(GLOB source_dir LIST_DIRECTORIES true ${fetched}/zydis-*)
  if(NOT status EQUAL 0 OR NOT source_dir OR NOT EXISTS ${source_dir}/src/Decoder.c)
    message(FATAL_ERROR "apt-get source zydis=${QUILLFEN_ZYDIS_VERSION} failed (scripts/setup "
                        "adds the deb-src entry and dpkg-dev it needs):\n${problem}")
  endif()
endif()

# Zycore's headers from libzycore-dev, in a folder of their own (not all of /usr/include).
find_path(QUILLFEN_ZYCORE_DIR Zycore/Defines.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(zycore_headers ${CMAKE_BINARY_DIR}/zycore-headers)
file(COPY ${QUILLFEN_ZYCORE_DIR}/Zycore DESTINATION ${zycore_headers})

add_library(quillfen_zydis STATIC
  ${source_dir}/src/Decoder.c ${source_dir}/src/DecoderData.c ${source_dir}/src/MetaInfo.c
  ${source_dir}/src/Mnemonic.c ${source_dir}/src/Register.c ${source_dir}/src/SharedData.c
  ${source_dir}/src/Utils.c ${source_dir}/src/Zydis.c)
target_include_directories(quillfen_zydis SYSTEM PUBLIC ${source_dir}/include ${zycore_headers})
target_include_directories(quillfen_zydis PRIVATE ${source_dir}/src)
target_compile_definitions(quillfen_zydis PUBLIC
  ZYDIS_STATIC_BUILD ZYCORE_STATIC_BUILD ZYDIS_DISABLE_ENCODER ZYDIS_DISABLE_FORMATTER)
# Another project's code: built as it is, its warnings are not ours.
target_compile_options(quillfen_zydis PRIVATE -w)
set_target_properties(quillfen_zydis PROPERTIES C_STANDARD 11 POSITION_INDEPENDENT_CODE ON)
