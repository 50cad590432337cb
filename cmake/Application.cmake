juce_add_gui_app(PluginManager
    PRODUCT_NAME "td_installer"
    VERSION 1.0.5
    COMPANY_NAME "Tovin Drift, Inc."
    BUNDLE_ID com.tovindrift.td-installer)

target_sources(PluginManager PRIVATE app/Main.cpp)
target_link_libraries(PluginManager PRIVATE PluginManagerCore project_warnings)
