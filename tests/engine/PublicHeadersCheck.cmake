# Installs the engine's public headers alone and compiles each on its own against that tree, so
# that a public header needing a private one, or a third-party header, fails here and not in a
# program built against an installed libQuillorylib.
#   cmake -DBUILD_DIR=<build> -DINSTALL_DIR=<scratch folder> -DCXX=<compiler> -P PublicHeadersCheck.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${INSTALL_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component Development --prefix ${INSTALL_DIR}
  RESULT_VARIABLE result
  OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing the public headers failed")
endif()

set(root ${INSTALL_DIR}/include/quillory)
if(NOT EXISTS ${root}/quillory_export.h)
  message(FATAL_ERROR "the export header is not installed")
endif()
file(GLOB_RECURSE headers RELATIVE ${root} ${root}/*.h)
list(SORT headers)

set(failures "")
foreach(header IN LISTS headers)
  # The standard library is the only outside header a public one may use.
  file(STRINGS ${root}/${header} includes REGEX "^#include ")
  foreach(line IN LISTS includes)
    if(line MATCHES "^#include <([^>]+)>")
      set(included ${CMAKE_MATCH_1})
      if(included MATCHES "[./]")
        string(APPEND failures "${header}: includes <${included}>, not a public header\n")
      endif()
    elseif(line MATCHES "^#include \"([^\"]+)\"")
      set(included ${CMAKE_MATCH_1})
      if(NOT EXISTS ${root}/${included})
        string(APPEND failures "${header}: includes \"${included}\", not a public header\n")
      endif()
    endif()
  endforeach()

  # Twice, so that a missing include guard shows too.
  string(MAKE_C_IDENTIFIER ${header} name)
  set(source ${INSTALL_DIR}/check/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n#include \"${header}\"\n")
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I${root} ${source}
    RESULT_VARIABLE result
    ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    string(APPEND failures "${header}: does not compile on its own:\n${errors}\n")
  endif()
endforeach()

list(LENGTH headers count)
if(count EQUAL 0)
  message(FATAL_ERROR "no public header was installed")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${count} public headers compile on their own:\n  ${headers}")
