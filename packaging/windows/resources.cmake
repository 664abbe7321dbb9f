# What a Windows program carries besides its code: the icon (made from
# packaging/velmora.svg with rsvg-convert and icotool) and its version
# information, both compiled in from a resource script.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

set(velmora_ico ${PROJECT_BINARY_DIR}/velmora.ico)
set(icon_sizes 16 24 32 48 64 128 256)
set(icon_pngs)
foreach(size IN LISTS icon_sizes)
    set(png ${PROJECT_BINARY_DIR}/icon/velmora-${size}.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icon
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/packaging/velmora.svg
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/velmora.svg VERBATIM)
    list(APPEND icon_pngs ${png})
endforeach()
add_custom_command(OUTPUT ${velmora_ico}
    COMMAND ${ICOTOOL} -c -o ${velmora_ico} ${icon_pngs}
    DEPENDS ${icon_pngs}
    COMMENT "Writing velmora.ico" VERBATIM)
add_custom_target(velmora_icon DEPENDS ${velmora_ico})

file(READ ${PROJECT_SOURCE_DIR}/LICENSE velmora_license)
string(REGEX MATCH "Copyright \\(c\\) [^\n]+" velmora_copyright "${velmora_license}")

# velmora_windows_resources(<target> <description>)
function(velmora_windows_resources target description)
    set(RC_NAME ${target})
    set(RC_FILE_NAME ${target}.exe)
    set(RC_DESCRIPTION "${description}")
    set(RC_COPYRIGHT "${velmora_copyright}")
    set(RC_ICON_LINE "1 ICON \"${velmora_ico}\"")
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${velmora_ico})
    target_sources(${target} PRIVATE ${rc})
    add_dependencies(${target} velmora_icon)
endfunction()

# What packaging/windows/package.sh needs to know of this build.
file(WRITE ${PROJECT_BINARY_DIR}/windows.env "version=${PROJECT_VERSION}\n")
