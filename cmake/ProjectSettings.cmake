set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

# Everything the set-up script fetches lives here, outside version control.
set(DEPENDENCY_CACHE "${PROJECT_SOURCE_DIR}/.cache")

# Resources written at build time: the product archives and the installer's icon.
set(GENERATED_RESOURCE_DIR "${CMAKE_BINARY_DIR}/generated")
