# JUCE 8 comes from Debian's source package, unpacked by tools/install-deps.sh.
# Debian strips JUCE's bundled zlib, libpng and libjpeg, so the system's are linked.
if(NOT EXISTS "${DEPENDENCY_CACHE}/juce/CMakeLists.txt")
    message(FATAL_ERROR "JUCE is missing: run tools/install-deps.sh first")
endif()

add_subdirectory("${DEPENDENCY_CACHE}/juce" "${CMAKE_BINARY_DIR}/juce" EXCLUDE_FROM_ALL)

find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

set(SOURCE_SANS_PRO_REGULAR "${DEPENDENCY_CACHE}/fonts/SourceSansPro-Regular.ttf")
if(NOT EXISTS "${SOURCE_SANS_PRO_REGULAR}")
    message(FATAL_ERROR "The Source Sans Pro font is missing: run tools/install-deps.sh first")
endif()
