# Installs Qorv as a desktop program: the binary, its desktop entry, the file
# types it opens, its AppStream description and the icons in the hicolor
# theme, so the desktop's application menu lists it and a double-clicked
# library, SysEx or preset file opens in it; its manual page, for the
# commands it runs without the window; and, in share/doc/qorv, its copyright
# and its changelog, as a Debian package carries them.
include(GNUInstallDirs)

set(QORV_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)
set(QORV_ICON_DIR ${PROJECT_SOURCE_DIR}/resources/icons)

install(TARGETS qorv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog go in compressed, as Debian's man and
# policy expect them; -n leaves the file's name and time out of the archive,
# so the same sources always make the same bytes.
find_program(QORV_GZIP gzip REQUIRED)
set(QORV_COMPRESSED_DIR ${CMAKE_CURRENT_BINARY_DIR}/compressed)
function(qorv_compressed source output)
    add_custom_command(OUTPUT ${QORV_COMPRESSED_DIR}/${output}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${QORV_COMPRESSED_DIR}
                       COMMAND sh -c "\"$0\" -9nc \"$1\" >\"$2\"" ${QORV_GZIP} ${source} ${QORV_COMPRESSED_DIR}/${output}
                       DEPENDS ${source} VERBATIM)
    set(QORV_COMPRESSED_FILES ${QORV_COMPRESSED_FILES} ${QORV_COMPRESSED_DIR}/${output} PARENT_SCOPE)
endfunction()
qorv_compressed(${PROJECT_SOURCE_DIR}/resources/man/qorv.1 qorv.1.gz)
qorv_compressed(${PROJECT_SOURCE_DIR}/resources/debian/changelog changelog.gz)
add_custom_target(qorv_compressed_docs ALL DEPENDS ${QORV_COMPRESSED_FILES})

install(FILES ${QORV_COMPRESSED_DIR}/qorv.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, not the project (GNUInstallDirs' DOCDIR would say "Qorv").
set(QORV_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qorv)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright ${QORV_COMPRESSED_DIR}/changelog.gz
        DESTINATION ${QORV_DOC_DIR})

# Each icon comes at 256 x 256 (NAME.png) and 48 x 48 (NAME-48.png).
function(qorv_install_icon name context)
    install(FILES ${QORV_ICON_DIR}/${name}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/${context})
    install(FILES ${QORV_ICON_DIR}/${name}-48.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/${context}
            RENAME ${name}.png)
endfunction()

qorv_install_icon(qorv apps)
foreach(type library sysex preset)
    qorv_install_icon(org.qorv.Qorv-${type} mimetypes)
endforeach()
