# The Windows executable carries its own manifest (administrator rights, Common
# Controls 6), version block and icons. JUCE's generated resource script includes
# ours in place of its own.
set(WINDOWS_RESOURCE_DIR "${PROJECT_SOURCE_DIR}/app/windows")

if(WIN32)
    target_include_directories(PluginManager PRIVATE "${WINDOWS_RESOURCE_DIR}" "${GENERATED_RESOURCE_DIR}")
    target_compile_definitions(PluginManager PRIVATE "JUCE_USER_DEFINED_RC_FILE=\"td_installer.rc\"")
    add_dependencies(PluginManager PluginManagerResources)

    if(MSVC)
        target_link_options(PluginManager PRIVATE /MANIFEST:NO)
    endif()
endif()
