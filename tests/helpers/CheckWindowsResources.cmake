cmake_minimum_required(VERSION 3.22)

# Compiles the Windows executable's resource script with a cross resource compiler
# and checks what lands in the binary resources: the manifest, the version block
# and the two icon groups.
execute_process(
    COMMAND "${WINDRES}" --preprocessor=cpp --preprocessor-arg=-DRC_INVOKED --include-dir "${RC_DIR}" --include-dir "${ICON_DIR}"
            --input "${RC_DIR}/td_installer.rc" --output-format res --output "${OUT}/td_installer.res"
    RESULT_VARIABLE compiled ERROR_VARIABLE errors)
if(NOT compiled EQUAL 0)
    message(FATAL_ERROR "the resource script does not compile: ${errors}")
endif()

execute_process(
    COMMAND "${WINDRES}" --input "${OUT}/td_installer.res" --input-format res --output-format rc
    OUTPUT_VARIABLE listing RESULT_VARIABLE decoded)
if(NOT decoded EQUAL 0)
    message(FATAL_ERROR "the compiled resources cannot be read back")
endif()

# A zero product version and zero file flags are what the listing leaves out.
set(expected_in_listing
    "\"IDI_ICON1\" 14 /* RT_GROUP_ICON */"
    "\"IDI_ICON2\" 14 /* RT_GROUP_ICON */"
    "1 24 /* RT_MANIFEST */"
    "LANGUAGE 9, 1"
    "FILEVERSION 1, 0, 5, 0"
    "BLOCK \"040904E4\""
    "VALUE \"CompanyName\", \"Tovin Drift, Inc.\""
    "VALUE \"FileDescription\", \"td_installer\""
    "VALUE \"FileVersion\", \"1.0.5\""
    "VALUE \"ProductName\", \"td_installer\""
    "VALUE \"ProductVersion\", \"1.0.5\""
    "VALUE \"LegalCopyright\""
    "VALUE \"Translation\", 0x409, 1252")

foreach(text IN LISTS expected_in_listing)
    string(FIND "${listing}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing from the version block or icons: ${text}\n${listing}")
    endif()
endforeach()

# The listing shows the manifest's text with its quotes doubled.
foreach(text "level=\"\"requireAdministrator\"\" uiAccess=\"\"false\"\"" "Microsoft.Windows.Common-Controls"
             "publicKeyToken=\"\"6595b64144ccf1df\"\"" "version=\"\"6.0.0.0\"\"")
    string(FIND "${listing}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing from the manifest: ${text}")
    endif()
endforeach()

foreach(text "PRODUCTVERSION" "FILEFLAGS ")
    string(FIND "${listing}" "${text}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "the product version and the file flags should be zero")
    endif()
endforeach()

string(REGEX MATCHALL "Has 4 elements" four_images "${listing}")
list(LENGTH four_images groups)
if(NOT groups EQUAL 2)
    message(FATAL_ERROR "expected two icon groups of four images each")
endif()

message(STATUS "Windows resources: manifest, version block and icon groups in place")
