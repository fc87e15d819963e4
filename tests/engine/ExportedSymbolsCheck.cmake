# Fails when libQuillorylib exports anything but the public classes (and the standard library's
# template code the compiler emits beside them), or when a public class exports nothing.
#   cmake -DLIBRARY=<libQuillorylib.so> -DENGINE_DIR=<engine sources> -DNM=<nm> -P ExportedSymbolsCheck.cmake
cmake_minimum_required(VERSION 3.25)

# The exported classes of the public headers; each must show up.
set(exported
  Synchronizer
  WifiTransfer
  ServerConnectInfo
  Utils
  CommandReader
  DeviceAnnouncement
  media::MediaFile
  media::MediaAlbum
  media::MediaDevice
  itunesinfo::ITunesMediaFile
  media::CMediaException
  media::CDBException
  media::CMediaConnectException
  media::CMediaDisconnectException
  media::CMediaRefusedException
  media::CMediaDeclinedException
  media::CMediaCommunicationException
  media::CCancelException)
# Public interfaces without code of their own; their type information may show up.
set(interfaces
  media::IMediaTransfer
  media::IWifiMediaTransfer
  media::IPipelinedTransfer
  SyncStatusCallback)

# Every other class of the engine is private (one class per header, named after it).
file(GLOB_RECURSE engine_headers ${ENGINE_DIR}/*.h)
set(private "")
foreach(path IN LISTS engine_headers)
  get_filename_component(name ${path} NAME_WE)
  list(APPEND private ${name})
endforeach()
foreach(class IN LISTS exported interfaces)
  string(REGEX REPLACE ".*::" "" name ${class})
  list(REMOVE_ITEM private ${name})
endforeach()
# CMediaException.h holds the whole family, listed above; LinkLimits.h holds no class.
list(REMOVE_ITEM private LinkLimits)
list(JOIN private "|" private_pattern)

list(JOIN exported "|" public_pattern)
list(JOIN interfaces "|" interface_pattern)
set(public_pattern "${public_pattern}|${interface_pattern}")

execute_process(
  COMMAND ${NM} -D --defined-only -C ${LIBRARY}
  OUTPUT_VARIABLE listing
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not list ${LIBRARY}")
endif()
# One symbol per line: address, kind, name. Lists in CMake split at semicolons; no C++ name has
# one, but brackets would confuse the list, so they are masked first.
string(REPLACE "[" "<OPEN>" listing "${listing}")
string(REPLACE "]" "<CLOSE>" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")

set(count 0)
set(seen "")
set(failures "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]+ [A-Za-z] (.+)$")
    continue()
  endif()
  set(symbol "${CMAKE_MATCH_1}")
  math(EXPR count "${count} + 1")
  # AddressSanitizer's marker beside each exported variable, which is checked on its own.
  if(symbol MATCHES "^__odr_asan")
    continue()
  endif()
  set(name "${symbol}")
  set(type OFF)
  while(name MATCHES "^(typeinfo name for|typeinfo for|vtable for|VTT for|construction vtable for|non-virtual thunk to|virtual thunk to|covariant return thunk to|guard variable for) (.+)$")
    set(prefix "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    if(prefix MATCHES "^(typeinfo|vtable|VTT|construction)")
      set(type ON)
    endif()
  endwhile()
  if(name MATCHES "^(${public_pattern})(::|\\(|$)")
    list(APPEND seen ${CMAKE_MATCH_1})
    continue()
  endif()
  if(symbol MATCHES "(^|[^A-Za-z0-9_])(${private_pattern})([^A-Za-z0-9_]|$)")
    string(APPEND failures "  ${symbol}\n")
    continue()
  endif()
  # What is left is the standard library's template code: its namespace keeps default
  # visibility, so what it instantiates is exported, and instrumented builds add the type
  # information of the function types they check calls against. The owner of a function is the
  # last name before its parameters, once template arguments and parentheses are gone.
  set(bare "${name}")
  while(bare MATCHES "<[^<>]*>")
    string(REGEX REPLACE "<[^<>]*>" "" bare "${bare}")
  endwhile()
  if(type AND bare MATCHES "\\(")
    continue()
  endif()
  while(bare MATCHES "\\([^()]*\\)")
    string(REGEX REPLACE "\\([^()]*\\)" "" bare "${bare}")
  endwhile()
  string(REGEX REPLACE "( const| volatile| &| &&)+$" "" bare "${bare}")
  string(REGEX REPLACE ".* " "" owner "${bare}")
  if(owner MATCHES "^(std|__gnu_cxx)::")
    continue()
  endif()
  string(APPEND failures "  ${symbol}\n")
endforeach()

if(NOT failures STREQUAL "")
  string(REPLACE "<OPEN>" "[" failures "${failures}")
  string(REPLACE "<CLOSE>" "]" failures "${failures}")
  message(FATAL_ERROR "libQuillorylib exports symbols outside its public API:\n${failures}")
endif()
set(missing "")
foreach(class IN LISTS exported)
  if(NOT class IN_LIST seen)
    list(APPEND missing ${class})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "public classes that export nothing: ${missing}")
endif()
list(REMOVE_DUPLICATES seen)
list(LENGTH seen classes)
message(STATUS "${count} exported symbols, of ${classes} public classes and the standard library")
