# libogg, libvorbis (with vorbisfile) and libFLAC for the main program's own
# decoders: static libraries that scripts/setup.sh builds with mingw from
# Debian's source packages (scripts/build_audio_codecs.sh) into
# third_party/audio_codecs/<win64|win32>.
if(SORVANE_MANIFEST_ARCH STREQUAL "x86")
  set(AUDIO_CODECS_DIR ${CMAKE_SOURCE_DIR}/third_party/audio_codecs/win32)
else()
  set(AUDIO_CODECS_DIR ${CMAKE_SOURCE_DIR}/third_party/audio_codecs/win64)
endif()
foreach(library vorbisfile vorbis ogg FLAC)
  if(NOT EXISTS ${AUDIO_CODECS_DIR}/lib/lib${library}.a)
    message(FATAL_ERROR "${AUDIO_CODECS_DIR}/lib/lib${library}.a is missing: run scripts/setup.sh first")
  endif()
endforeach()
add_library(audio_codecs INTERFACE)
target_include_directories(audio_codecs SYSTEM INTERFACE ${AUDIO_CODECS_DIR}/include)
# In the order of their dependencies: vorbisfile on vorbis on ogg.
target_link_libraries(audio_codecs INTERFACE ${AUDIO_CODECS_DIR}/lib/libvorbisfile.a
                      ${AUDIO_CODECS_DIR}/lib/libvorbis.a ${AUDIO_CODECS_DIR}/lib/libogg.a
                      ${AUDIO_CODECS_DIR}/lib/libFLAC.a)
target_compile_definitions(audio_codecs INTERFACE FLAC__NO_DLL)
