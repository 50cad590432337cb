# The framework's modules, compiled once into one library that the application,
# the tests and the tools all share.
add_library(juce_modules STATIC)

target_link_libraries(juce_modules
    PRIVATE
        juce::juce_core
        juce::juce_events
        juce::juce_graphics
        juce::juce_gui_basics
    PUBLIC
        juce::juce_recommended_config_flags
        ZLIB::ZLIB
        PNG::PNG
        JPEG::JPEG)

target_compile_definitions(juce_modules
    PUBLIC
        JUCE_STANDALONE_APPLICATION=1
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_APPLICATION_NAME_STRING="td_installer"
        JUCE_APPLICATION_VERSION_STRING="1.0.5")

# Users of the library see the modules' headers and settings without compiling them again.
target_include_directories(juce_modules INTERFACE $<TARGET_PROPERTY:juce_modules,INCLUDE_DIRECTORIES>)
target_compile_definitions(juce_modules INTERFACE $<TARGET_PROPERTY:juce_modules,COMPILE_DEFINITIONS>)
