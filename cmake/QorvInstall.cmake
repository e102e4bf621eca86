# Installs Qorv as a desktop program: the binary, its desktop entry, the file
# types it opens, its AppStream description and the icons in the hicolor
# theme, so the desktop's application menu lists it and a double-clicked
# library, SysEx or preset file opens in it; and its manual page, for the
# commands it runs without the window.
include(GNUInstallDirs)

set(QORV_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)
set(QORV_ICON_DIR ${PROJECT_SOURCE_DIR}/resources/icons)

install(TARGETS qorv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${QORV_DESKTOP_DIR}/org.qorv.Qorv.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/man/qorv.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

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
