# Inkvale on a desktop: its launcher entry, icons and AppStream metadata, and how it is installed.
#
# Inkvale writes its files beside itself at every start, so it lives in a folder of its own that
# the user can write to. `cmake --install` fills that folder (the prefix, by default
# ~/.local/share/inkvale); the portable archive (`cpack`) holds the same folder. In it:
#
#   inkvale                      the program
#   setup-desktop.sh             adds the launcher entry, icons and style fonts for the user
#   fonts/1.ttf ... 15.ttf       the style fonts, as the program itself writes them there
#   share/applications, share/icons, share/metainfo   what setup-desktop.sh copies

set(INKVALE_APP_ID example.inkvale.Inkvale)
set(INKVALE_DESKTOP_DIR ${CMAKE_BINARY_DIR}/desktop)
set(INKVALE_DESKTOP_ENTRY ${INKVALE_DESKTOP_DIR}/${INKVALE_APP_ID}.desktop)
set(INKVALE_METAINFO ${INKVALE_DESKTOP_DIR}/${INKVALE_APP_ID}.metainfo.xml)

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    if(DEFINED ENV{XDG_DATA_HOME} AND NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
        set(inkvale_data_home "$ENV{XDG_DATA_HOME}")
    else()
        set(inkvale_data_home "$ENV{HOME}/.local/share")
    endif()
    set(CMAKE_INSTALL_PREFIX "${inkvale_data_home}/inkvale" CACHE PATH
        "The folder Inkvale is installed into and runs from" FORCE)
endif()

configure_file(resources/desktop/inkvale.desktop.in ${INKVALE_DESKTOP_ENTRY} @ONLY)
configure_file(resources/desktop/inkvale.metainfo.xml.in ${INKVALE_METAINFO} @ONLY)
block(SCOPE_FOR VARIABLES)
    list(JOIN INKVALE_ICON_SIZES " " INKVALE_ICON_SIZES)
    configure_file(resources/desktop/setup-desktop.sh ${INKVALE_DESKTOP_DIR}/setup-desktop.sh
                   @ONLY)
endblock()

install(TARGETS inkvale RUNTIME DESTINATION .)
install(PROGRAMS ${INKVALE_DESKTOP_DIR}/setup-desktop.sh DESTINATION .)
install(FILES ${INKVALE_FONT_FILES} DESTINATION fonts)
install(FILES ${INKVALE_DESKTOP_ENTRY} DESTINATION share/applications)
install(FILES ${INKVALE_METAINFO} DESTINATION share/metainfo)
foreach(size ${INKVALE_ICON_SIZES})
    install(FILES ${INKVALE_ARTWORK_DIR}/icon-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME ${INKVALE_APP_ID}.png)
endforeach()

# The portable archive: one folder to unpack anywhere and start from.
set(CPACK_PACKAGE_NAME inkvale)
set(CPACK_PACKAGE_VENDOR Inkvale)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Designs artistic signatures")
set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_FILE_NAME inkvale-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
# include(CPack) comes in cmake/Package.cmake, which adds what the archive carries.
