# Warnings for the project's own code; the framework's sources are built without them.
add_library(project_warnings INTERFACE)

if(MSVC)
    target_compile_options(project_warnings INTERFACE /W4)
else()
    target_compile_options(project_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
        -Wconversion -Wsign-conversion -Wcast-align -Wnull-dereference -Wunused)
endif()
