# Narrow string literals of the engine are written in UTF-8 and stored as
# CP932. GCC converts them itself (-fexec-charset=CP932); Clang has no such
# option. For Clang every source and header of src/, tests/ and bench/ is
# first copied into the build folder by tools/cp932_literals, which turns the
# characters outside ASCII of each ordinary literal into the octal escapes of
# their CP932 bytes and keeps every line where it was (the copy names the
# original in a #line directive). The targets then compile the copies.
#
# The literals' bytes are the same as GCC's (the copies compile to the same
# code with GCC). One thing differs: a macro that turns an expression into
# text (a test assertion's failure message) shows such a literal with its
# escapes rather than its characters.
#
# Include this file before any compile option is added (the converter is a
# plain host tool), and call orvane_compile_converted_sources() once every
# target exists.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(ORVANE_CP932_LITERALS_DEFAULT ON)
else()
  set(ORVANE_CP932_LITERALS_DEFAULT OFF)
endif()
option(ORVANE_CP932_LITERALS "Compile copies of the sources with CP932 literals (compilers without -fexec-charset)"
  ${ORVANE_CP932_LITERALS_DEFAULT})

set(ORVANE_CP932_DIR ${CMAKE_BINARY_DIR}/cp932)
set(ORVANE_CP932_ROOTS src tests bench)

if(ORVANE_CP932_LITERALS)
  add_executable(orvane_cp932_literals
    ${CMAKE_SOURCE_DIR}/tools/cp932_literals/main.cpp
    ${CMAKE_SOURCE_DIR}/tools/cp932_literals/cp932_literals.cpp)
  target_include_directories(orvane_cp932_literals PRIVATE ${CMAKE_SOURCE_DIR}/tools)
  target_compile_features(orvane_cp932_literals PRIVATE cxx_std_20)
endif()

# The copy of a path below one of the converted roots, or the path itself.
function(orvane_cp932_path path out_var)
  if(NOT IS_ABSOLUTE "${path}")
    set(path "${CMAKE_SOURCE_DIR}/${path}")
  endif()
  foreach(root ${ORVANE_CP932_ROOTS})
    string(FIND "${path}" "${CMAKE_SOURCE_DIR}/${root}" at)
    if(at EQUAL 0)
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} "${path}")
      set(${out_var} "${ORVANE_CP932_DIR}/${relative}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out_var} "${path}" PARENT_SCOPE)
endfunction()

function(orvane_compile_converted_sources)
  if(NOT ORVANE_CP932_LITERALS)
    return()
  endif()
  set(copies)
  foreach(root ${ORVANE_CP932_ROOTS})
    file(GLOB_RECURSE files CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${root}/*.cpp ${CMAKE_SOURCE_DIR}/${root}/*.cc ${CMAKE_SOURCE_DIR}/${root}/*.h
      ${CMAKE_SOURCE_DIR}/${root}/*.hpp ${CMAKE_SOURCE_DIR}/${root}/*.inc)
    foreach(file ${files})
      orvane_cp932_path(${file} copy)
      add_custom_command(OUTPUT ${copy}
        COMMAND orvane_cp932_literals ${file} ${copy}
        DEPENDS ${file} orvane_cp932_literals
        COMMENT "CP932 literals: ${file}"
        VERBATIM)
      list(APPEND copies ${copy})
    endforeach()
  endforeach()
  add_custom_target(orvane_cp932_sources DEPENDS ${copies})

  get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    if(target STREQUAL "orvane_cp932_literals" OR target STREQUAL "orvane_cp932_sources")
      continue()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY" OR type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    set(converted)
    foreach(source ${sources})
      orvane_cp932_path(${source} copy)
      list(APPEND converted ${copy})
    endforeach()
    set_property(TARGET ${target} PROPERTY SOURCES ${converted})
    foreach(property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
      get_target_property(directories ${target} ${property})
      if(directories)
        set(mapped)
        foreach(directory ${directories})
          orvane_cp932_path(${directory} copy)
          list(APPEND mapped ${copy})
        endforeach()
        set_property(TARGET ${target} PROPERTY ${property} ${mapped})
      endif()
    endforeach()
    add_dependencies(${target} orvane_cp932_sources)
  endforeach()
endfunction()
