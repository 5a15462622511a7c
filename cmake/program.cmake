# The Windows programs: the screensaver file and the main program. Both are
# built by the same rules: static runtime, size optimisation, system libraries
# loaded from the system folder when first called (delay-loaded imports),
# hardening asked of the linker by name, and an inspection of the built file.
enable_language(ASM)
if(SORVANE_MANIFEST_ARCH STREQUAL "x86")
  set(pe_machine i386)
else()
  set(pe_machine amd64)
endif()
# The libraries are compiled so that the linker can leave out what no
# program uses (the in-memory fakes among it).
target_compile_options(sorvane_core PRIVATE -ffunction-sections -fdata-sections)
target_compile_options(sorvane_base PRIVATE -ffunction-sections -fdata-sections)

# sorvane_program(TARGET ARCHIVES archive... INSPECT kind)
# Links TARGET against the ARCHIVES (static libraries) with the rules above;
# the functions their code takes from the delay-loaded system libraries get
# import stubs (cmake/delayed_imports.py). `kind` is the inspection's name for
# the program (scripts/inspect_pe.py --kind): "screensaver" or "main".
function(sorvane_program target)
  cmake_parse_arguments(PROGRAM "" "INSPECT" "ARCHIVES" ${ARGN})
  target_link_libraries(${target} PRIVATE ${PROGRAM_ARCHIVES})
  # Libraries only some modes need are loaded when first called, from the
  # system folder (platform/delayed_imports_win.cpp): a program starts with
  # kernel32 and advapi32 alone, and no library can be taken from its folder.
  set_target_properties(${target} PROPERTIES SORVANE_DELAY_LOADS ON)
  set(delay_arguments)
  foreach(library IN LISTS SORVANE_DELAY_LOADED_LIBRARIES)
    find_library(import_library_${library} NAMES ${library} REQUIRED)
    list(APPEND delay_arguments --library ${library}.dll=${import_library_${library}})
  endforeach()
  set(archive_files)
  foreach(archive IN LISTS PROGRAM_ARCHIVES)
    list(APPEND archive_files $<TARGET_FILE:${archive}>)
  endforeach()
  set(delayed_imports ${CMAKE_BINARY_DIR}/generated/${target}_delayed_imports.s)
  add_custom_command(OUTPUT ${delayed_imports}
    COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/delayed_imports.py --nm ${CMAKE_NM} --arch ${CMAKE_SYSTEM_PROCESSOR}
            --output ${delayed_imports} ${delay_arguments} ${archive_files}
    DEPENDS ${PROGRAM_ARCHIVES} ${CMAKE_SOURCE_DIR}/cmake/delayed_imports.py
    COMMENT "Generating the delay-loaded imports of ${target}")
  target_sources(${target} PRIVATE ${delayed_imports})
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                      -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
  # ASLR and DEP asked for by name, not left to the linker's defaults.
  target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat)
  if(NOT SORVANE_MANIFEST_ARCH STREQUAL "x86")
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()

  # The built file is checked without running it: machine, imports, the
  # libraries it names, resources, hardening; and the hardening checks are
  # shown to refuse a file lacking each.
  if(PROGRAM_INSPECT STREQUAL "screensaver")
    set(test_name inspect)
  else()
    set(test_name inspect.${PROGRAM_INSPECT})
  endif()
  set(inspect ${CMAKE_SOURCE_DIR}/scripts/inspect_pe.py $<TARGET_FILE:${target}> --machine ${pe_machine}
      --kind ${PROGRAM_INSPECT})
  add_test(NAME ${test_name} COMMAND python3 ${inspect})
  add_test(NAME ${test_name}.doctored COMMAND python3 ${inspect} --doctored)
  set_tests_properties(${test_name} ${test_name}.doctored PROPERTIES LABELS unit)
endfunction()

# The screensaver file itself: entry point, resources.
configure_file(${CMAKE_SOURCE_DIR}/resources/sorvane.manifest.in
               ${CMAKE_BINARY_DIR}/generated/sorvane.manifest @ONLY)
add_executable(screensaver WIN32 startup/entry_point_win.cpp resources/sorvane.rc)
set_target_properties(screensaver PROPERTIES OUTPUT_NAME "Sorvane 3D Screensaver" SUFFIX ".scr")
target_include_directories(screensaver PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
set_property(SOURCE resources/sorvane.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_BINARY_DIR}/generated/sorvane.manifest)
sorvane_program(screensaver ARCHIVES sorvane_core sorvane_base INSPECT screensaver)
