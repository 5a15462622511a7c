# pugixml in its wide-character build, compiled from the source that
# scripts/setup.sh unpacks into third_party/.
set(PUGIXML_DIR ${CMAKE_SOURCE_DIR}/third_party/pugixml/src)
if(NOT EXISTS ${PUGIXML_DIR}/pugixml.cpp)
  message(FATAL_ERROR "pugixml source missing: run scripts/setup.sh first")
endif()
add_library(pugixml STATIC ${PUGIXML_DIR}/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${PUGIXML_DIR})
target_compile_definitions(pugixml PUBLIC PUGIXML_WCHAR_MODE PUGIXML_NO_XPATH PUGIXML_NO_STL)
target_compile_options(pugixml PRIVATE -w)
