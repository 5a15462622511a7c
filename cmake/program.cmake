# The screensaver file itself: entry point, resources, static runtime.
configure_file(${CMAKE_SOURCE_DIR}/resources/sorvane.manifest.in
               ${CMAKE_BINARY_DIR}/generated/sorvane.manifest @ONLY)

add_executable(screensaver WIN32 startup/entry_point_win.cpp resources/sorvane.rc)
set_target_properties(screensaver PROPERTIES OUTPUT_NAME "Sorvane 3D Screensaver" SUFFIX ".scr")
target_include_directories(screensaver PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
set_property(SOURCE resources/sorvane.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_BINARY_DIR}/generated/sorvane.manifest)
target_link_libraries(screensaver PRIVATE sorvane_core)
target_link_options(screensaver PRIVATE -municode -static -static-libgcc -static-libstdc++
                    -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
target_compile_options(sorvane_core PRIVATE -ffunction-sections -fdata-sections)
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
