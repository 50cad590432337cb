# All of the installer but its entry point, shared by the application and the tests.
add_library(PluginManagerCore STATIC
    app/CommandLine.cpp
    app/CommandLine.h
    app/CommandLineRunner.cpp
    app/CommandLineRunner.h
    app/Elevation.cpp
    app/Elevation.h
    app/InstallerIdentity.h
    install/ArchiveInstaller.cpp
    install/ArchiveInstaller.h
    install/EntryInflater.cpp
    install/EntryInflater.h
    install/ExtractedFile.cpp
    install/ExtractedFile.h
    install/FolderHandle.cpp
    install/FolderHandle.h
    install/FailureReason.cpp
    install/FailureReason.h
    install/Leftover.h
    install/ItemVerifier.cpp
    install/ItemVerifier.h
    install/InstallPass.cpp
    install/InstallPass.h
    install/InstalledState.cpp
    install/InstalledState.h
    install/PassLock.cpp
    install/PassLock.h
    install/PluginFormats.cpp
    install/PluginFormats.h
    install/PlainXmlShape.cpp
    install/PlainXmlShape.h
    install/PeVersionReader.cpp
    install/PeVersionReader.h
    install/ProgramImageInputStream.cpp
    install/ProgramImageInputStream.h
    install/RegularFileReader.cpp
    install/RegularFileReader.h
    install/SettingsFile.cpp
    install/SettingsFile.h
    install/TextDecoding.cpp
    install/TextDecoding.h
    install/ZipCentralDirectory.cpp
    install/ZipCentralDirectory.h
    main_screen/KeyboardAccess.cpp
    main_screen/KeyboardAccess.h
    main_screen/MainComponent.cpp
    main_screen/MainComponent.h
    main_screen/MainComponentPaint.cpp
    panels/EulaText.cpp
    panels/EulaText.h
    panels/OverlayPage.cpp
    panels/OverlayPage.h
    panels/panel_eula.cpp
    panels/panel_eula.h
    panels/panel_scope.cpp
    panels/panel_scope.h
    panels/panel_success.cpp
    panels/panel_success.h
    panels/panel_support.cpp
    panels/panel_support.h
    theme/Artwork.cpp
    theme/Artwork.h
    theme/CustomLookAndFeel.cpp
    theme/CustomLookAndFeel.h
    theme/FocusCue.cpp
    theme/FocusCue.h
    theme/Palette.h
    theme/TransparentButton.cpp
    theme/TransparentButton.h)

target_include_directories(PluginManagerCore PUBLIC "${PROJECT_SOURCE_DIR}")
target_link_libraries(PluginManagerCore
    PUBLIC juce_modules PluginManagerResources
    PRIVATE project_warnings)
link_inflate_library(PluginManagerCore)

# Windows calls that need no JUCE, in plain C++ and Win32; also cross-compiled and tested
# under Wine on its own (tests/windows).
if(NOT WIN32)
    target_sources(PluginManagerCore PRIVATE
        install/PathWalk.cpp
        install/PathWalk.h
        install/TreeRemoval.cpp
        install/TreeRemoval.h)
endif()

if(WIN32)
    target_sources(PluginManagerCore PRIVATE
        platform/windows/WindowsPlatform.cpp
        platform/windows/WindowsPlatform.h)
    target_link_libraries(PluginManagerCore PRIVATE advapi32 version)
endif()
