# How every target of the project is set up: the language level, warnings and
# Windows definitions per target, and the layer rule that a target can include
# the headers of its own folder and of the folders below it, and no others.

# Compile options of every target of ours.
function(quillfen_target_options target)
  target_compile_features(${target} PRIVATE cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE
      WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  endif()
endfunction()

# An executable of ours; on Windows one self-contained file, with no MinGW
# runtime DLL beside it.
function(quillfen_executable_options target)
  quillfen_target_options(${target})
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# Gives the target an include root of its own that holds links to the headers
# of the named source folders (under src/, subfolders not included) and to
# nothing else, so that an include of a layer above it does not compile.
#   quillfen_include_root(<target> SEES <folder>...)
function(quillfen_include_root target)
  cmake_parse_arguments(ARG "" "" "SEES" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  file(REMOVE_RECURSE ${root})
  foreach(folder IN LISTS ARG_SEES)
    file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(${target} PRIVATE ${root})
  set_property(TARGET ${target} PROPERTY QUILLFEN_INCLUDE_ROOT ${root})
endfunction()

# A library of one layer: its sources, the folders it sees, what it links.
#   quillfen_layer(<target> SOURCES <file>... SEES <folder>... LINKS <target>...)
function(quillfen_layer target)
  cmake_parse_arguments(ARG "" "" "SOURCES;SEES;LINKS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  quillfen_target_options(${target})
  quillfen_include_root(${target} SEES ${ARG_SEES})
  if(ARG_LINKS)
    target_link_libraries(${target} PRIVATE ${ARG_LINKS})
  endif()
endfunction()

# The version, set once by project(VERSION ...), in a generated header that the
# programs and their resource scripts include (quillfen_version.h), and in the
# generated manifest of the window program.
function(quillfen_generate_version_files)
  set(numbers "")
  foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
    set(value "${PROJECT_VERSION_${part}}")
    if(value STREQUAL "")
      set(value 0)
    endif()
    # "1.03" has the minor number 3: read as decimal, not as octal text.
    math(EXPR value "${value} + 0")
    list(APPEND numbers ${value})
  endforeach()
  list(JOIN numbers ", " QUILLFEN_VERSION_NUMBERS)
  list(JOIN numbers "." QUILLFEN_VERSION_DOTTED)
  set(dir ${PROJECT_BINARY_DIR}/generated)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/quillfen_version.h.in ${dir}/quillfen_version.h @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/src/app/quillfen.manifest.in ${dir}/quillfen.manifest @ONLY)
endfunction()

# Lets a program or its resource script include the generated version files.
function(quillfen_version_info target)
  target_include_directories(${target} PRIVATE ${PROJECT_BINARY_DIR}/generated)
endfunction()
