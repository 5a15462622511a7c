# The screensaver file itself: entry point, resources, static runtime.
configure_file(${CMAKE_SOURCE_DIR}/resources/sorvane.manifest.in
               ${CMAKE_BINARY_DIR}/generated/sorvane.manifest @ONLY)

add_executable(screensaver WIN32 startup/entry_point_win.cpp resources/sorvane.rc)
set_target_properties(screensaver PROPERTIES OUTPUT_NAME "Sorvane 3D Screensaver" SUFFIX ".scr")
target_include_directories(screensaver PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
set_property(SOURCE resources/sorvane.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_BINARY_DIR}/generated/sorvane.manifest)
target_link_libraries(screensaver PRIVATE sorvane_core)

# Libraries only some modes need are loaded when first called, from the system
# folder (platform/delayed_imports_win.cpp): run mode starts with kernel32 and
# advapi32 alone, and no library can be taken from the program's folder.
enable_language(ASM)
set_target_properties(screensaver PROPERTIES SORVANE_DELAY_LOADS ON)
set(delay_arguments)
foreach(library IN LISTS SORVANE_DELAY_LOADED_LIBRARIES)
  find_library(import_library_${library} NAMES ${library} REQUIRED)
  list(APPEND delay_arguments --library ${library}.dll=${import_library_${library}})
endforeach()
set(delayed_imports ${CMAKE_BINARY_DIR}/generated/delayed_imports.s)
add_custom_command(OUTPUT ${delayed_imports}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/cmake/delayed_imports.py --nm ${CMAKE_NM} --arch ${CMAKE_SYSTEM_PROCESSOR}
          --output ${delayed_imports} ${delay_arguments} $<TARGET_FILE:sorvane_core> $<TARGET_FILE:sorvane_base>
  DEPENDS sorvane_core sorvane_base ${CMAKE_SOURCE_DIR}/cmake/delayed_imports.py
  COMMENT "Generating the delay-loaded imports")
target_sources(screensaver PRIVATE ${delayed_imports})
target_link_options(screensaver PRIVATE -municode -static -static-libgcc -static-libstdc++
                    -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
target_compile_options(sorvane_core PRIVATE -ffunction-sections -fdata-sections)
target_compile_options(sorvane_base PRIVATE -ffunction-sections -fdata-sections)
# ASLR and DEP asked for by name, not left to the linker's defaults.
target_link_options(screensaver PRIVATE -Wl,--dynamicbase -Wl,--nxcompat)
if(NOT SORVANE_MANIFEST_ARCH STREQUAL "x86")
  target_link_options(screensaver PRIVATE -Wl,--high-entropy-va)
endif()

# The built file is checked without running it: machine, imports, resources,
# hardening; and the hardening checks are shown to refuse a file lacking each.
if(SORVANE_MANIFEST_ARCH STREQUAL "x86")
  set(pe_machine i386)
else()
  set(pe_machine amd64)
endif()
add_test(NAME inspect COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/inspect_pe.py $<TARGET_FILE:screensaver> --machine ${pe_machine})
add_test(NAME inspect.doctored COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/inspect_pe.py $<TARGET_FILE:screensaver> --machine ${pe_machine} --doctored)
set_tests_properties(inspect inspect.doctored PROPERTIES LABELS unit)
