# Archive entries are inflated with ISA-L's igzip where it is found (Debian: libisal-dev;
# elsewhere its pkg-config file, or its header and library on the search paths), and
# with zlib otherwise. zlib inflates at half the speed, so the choice is announced.
option(PLUGIN_MANAGER_WITH_ISAL "Inflate archive entries with ISA-L where it is found" ON)

set(INFLATE_LIBRARY "zlib")

if(PLUGIN_MANAGER_WITH_ISAL)
    find_package(PkgConfig QUIET)

    if(PKG_CONFIG_FOUND)
        pkg_check_modules(ISAL QUIET IMPORTED_TARGET libisal)
    endif()

    if(TARGET PkgConfig::ISAL)
        add_library(isal_inflate ALIAS PkgConfig::ISAL)
        set(INFLATE_LIBRARY "ISA-L ${ISAL_VERSION}")
    else()
        find_path(ISAL_INCLUDE_DIR isa-l/igzip_lib.h)
        find_library(ISAL_LIBRARY NAMES isal isa-l)

        if(ISAL_INCLUDE_DIR AND ISAL_LIBRARY)
            add_library(isal_inflate UNKNOWN IMPORTED)
            set_target_properties(isal_inflate PROPERTIES
                IMPORTED_LOCATION "${ISAL_LIBRARY}"
                INTERFACE_INCLUDE_DIRECTORIES "${ISAL_INCLUDE_DIR}")
            set(INFLATE_LIBRARY "ISA-L (${ISAL_LIBRARY})")
        endif()
    endif()
endif()

if(TARGET isal_inflate)
    message(STATUS "Archive entries are inflated with ${INFLATE_LIBRARY}")
elseif(PLUGIN_MANAGER_WITH_ISAL)
    message(WARNING "ISA-L was not found (Debian: libisal-dev): archive entries are inflated with zlib, "
                    "and installs take about one and a half times as long")
else()
    message(STATUS "ISA-L is switched off (PLUGIN_MANAGER_WITH_ISAL): archive entries are inflated with zlib")
endif()

# Links the inflating library into a target and tells its code which one it has.
function(link_inflate_library target)
    target_link_libraries(${target} PRIVATE ZLIB::ZLIB)

    if(TARGET isal_inflate)
        target_link_libraries(${target} PRIVATE isal_inflate)
        target_compile_definitions(${target} PRIVATE PLUGIN_MANAGER_HAS_ISAL=1)
    endif()
endfunction()
