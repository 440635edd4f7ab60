# The factory bank: resources/factory-bank.txt is turned into a bank file by
# the native tool make-factory-bank, and the bank is embedded in every binary
# that links quarvi_core (plug-in libraries, test programs) as the resource
# "PROGINIT" of type "PROGDATA":
#   Windows: a resource script compiled with windres into the binary;
#   elsewhere: generated C++ that registers the bytes at start-up.
#
# Cross builds cannot run a tool they compile; they take make-factory-bank
# from the native build tree named by QUARVI_HOST_TOOLS_DIR.

set(QUARVI_BANK_SOURCE ${CMAKE_SOURCE_DIR}/resources/factory-bank.txt)
set(QUARVI_BANK_FILE ${CMAKE_BINARY_DIR}/resources/factory.fxb)
set(QUARVI_BANK_DIR ${CMAKE_SOURCE_DIR}/tools/make-factory-bank)

# Parser and writer of the bank source, also used by the unit tests. The
# parameter table and state image code they need come from quarvi_core or,
# for the tool, are compiled in directly.
add_library(quarvi_bankgen OBJECT ${QUARVI_BANK_DIR}/BankSource.cpp ${QUARVI_BANK_DIR}/BankFile.cpp)
target_include_directories(quarvi_bankgen PUBLIC ${QUARVI_BANK_DIR} ${CMAKE_SOURCE_DIR}/framework
                           ${CMAKE_SOURCE_DIR}/instrument)

if(NOT CMAKE_CROSSCOMPILING)
  add_executable(make-factory-bank ${QUARVI_BANK_DIR}/main.cpp
                 ${CMAKE_SOURCE_DIR}/instrument/ParamTable.cpp
                 ${CMAKE_SOURCE_DIR}/instrument/StateImage.cpp
                 ${CMAKE_SOURCE_DIR}/instrument/FactoryNames.cpp
                 ${CMAKE_SOURCE_DIR}/framework/ChunkBuffer.cpp)
  target_link_libraries(make-factory-bank PRIVATE quarvi_bankgen)
  # Found by cross builds at <native tree>/make-factory-bank.
  set_target_properties(make-factory-bank PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  set(QUARVI_BANK_TOOL $<TARGET_FILE:make-factory-bank>)
  set(QUARVI_BANK_TOOL_DEPENDS make-factory-bank)
else()
  if(NOT QUARVI_HOST_TOOLS_DIR)
    message(FATAL_ERROR "Cross build: set QUARVI_HOST_TOOLS_DIR to a native build tree that has make-factory-bank")
  endif()
  set(QUARVI_BANK_TOOL ${QUARVI_HOST_TOOLS_DIR}/make-factory-bank)
  if(NOT EXISTS ${QUARVI_BANK_TOOL})
    message(WARNING "${QUARVI_BANK_TOOL} does not exist yet: build the native tree first")
  endif()
  set(QUARVI_BANK_TOOL_DEPENDS ${QUARVI_BANK_TOOL})
endif()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/resources)

if(WIN32)
  enable_language(RC)
  set(QUARVI_BANK_RC ${CMAKE_BINARY_DIR}/resources/factory-bank.rc)
  file(WRITE ${QUARVI_BANK_RC}.in "PROGINIT PROGDATA \"${QUARVI_BANK_FILE}\"\n")
  configure_file(${QUARVI_BANK_RC}.in ${QUARVI_BANK_RC} COPYONLY)
  add_custom_command(OUTPUT ${QUARVI_BANK_FILE}
                     COMMAND ${QUARVI_BANK_TOOL} ${QUARVI_BANK_SOURCE} ${QUARVI_BANK_FILE}
                     DEPENDS ${QUARVI_BANK_SOURCE} ${QUARVI_BANK_TOOL_DEPENDS}
                     COMMENT "Generating the factory bank"
                     VERBATIM)
  add_custom_target(quarvi_factory_fxb DEPENDS ${QUARVI_BANK_FILE})
  set_source_files_properties(${QUARVI_BANK_RC} PROPERTIES OBJECT_DEPENDS ${QUARVI_BANK_FILE})
  add_library(quarvi_factory_bank OBJECT ${QUARVI_BANK_RC})
  add_dependencies(quarvi_factory_bank quarvi_factory_fxb)
else()
  set(QUARVI_BANK_CPP ${CMAKE_BINARY_DIR}/resources/FactoryBankData.cpp)
  add_custom_command(OUTPUT ${QUARVI_BANK_FILE} ${QUARVI_BANK_CPP}
                     COMMAND ${QUARVI_BANK_TOOL} ${QUARVI_BANK_SOURCE} ${QUARVI_BANK_FILE} --embed ${QUARVI_BANK_CPP}
                     DEPENDS ${QUARVI_BANK_SOURCE} ${QUARVI_BANK_TOOL_DEPENDS}
                     COMMENT "Generating the factory bank"
                     VERBATIM)
  # An object library: its objects are linked whole, so the registering
  # static initializer cannot be dropped the way an unreferenced member of a
  # static library would be.
  add_library(quarvi_factory_bank OBJECT ${QUARVI_BANK_CPP})
  target_include_directories(quarvi_factory_bank PRIVATE ${CMAKE_SOURCE_DIR}/framework)
endif()

# Every executable or library that links quarvi_core gets the bank; the unit
# tests also get the bank-source parser. Both run after the whole directory is
# read, whatever the include order of the build fragments.
function(quarvi_attach_factory_bank)
  quarvi_link_into_core_users(quarvi_factory_bank)
  if(TARGET quarvi_tests)
    target_link_libraries(quarvi_tests PRIVATE quarvi_bankgen)
    target_compile_definitions(quarvi_tests PRIVATE QUARVI_FACTORY_BANK_SOURCE="${QUARVI_BANK_SOURCE}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quarvi_attach_factory_bank)
