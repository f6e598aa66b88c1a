# Inkvale as Linux users install programs: inkvale-render beside the designer in the folder that
# cmake/Desktop.cmake installs (and so in the portable archive), the Qt libraries and plugins
# carried inside that archive, and the Debian package (`deb` target, scripts/package).
#
# Included from the top CMakeLists.txt once both programs are defined.

set(INKVALE_PACKAGE_SOURCE_DIR ${CMAKE_SOURCE_DIR}/resources/package)
set(INKVALE_MAINTAINER "Inkvale maintainers <maintainers@inkvale.example>")

# The fonts' licences, gathered from the manifest, the built fonts and the sources' own texts.
set(INKVALE_FONT_LICENCES ${CMAKE_BINARY_DIR}/package-files/FONT-LICENSES.txt)
add_custom_command(
    OUTPUT ${INKVALE_FONT_LICENCES}
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/cmake/font-licences.py
            ${CMAKE_SOURCE_DIR}/tools/fonts/manifest.json ${INKVALE_FONTS_DIR}
            ${INKVALE_FONT_LICENCES}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/font-licences.py ${CMAKE_SOURCE_DIR}/tools/fonts/manifest.json
            ${INKVALE_FONT_FILES}
    COMMENT "Gathering the style fonts' licences"
    VERBATIM)
add_custom_target(inkvale_font_licences ALL DEPENDS ${INKVALE_FONT_LICENCES})

# The program folder (scripts/install, the portable archive): both programs, a readme and the
# licences.
install(TARGETS inkvale-render RUNTIME DESTINATION .)
install(FILES ${INKVALE_PACKAGE_SOURCE_DIR}/README.txt ${INKVALE_FONT_LICENCES} DESTINATION .)
# The stroke-order data's licence, the Arphic Public License, beside the programs that carry it.
install(FILES ${INKVALE_STROKES_LICENCE} DESTINATION . RENAME STROKES-LICENSE-ARPHICPL.txt)

# The portable archive carries the Qt libraries and plugins the programs load, found with ldd
# and loaded through $ORIGIN, so that it runs where Qt is not installed. Only the archive: a
# folder installed for the user runs on the system's Qt.
find_program(INKVALE_PATCHELF patchelf)
set(INKVALE_QT_PLUGINS_DIR "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/bundle-qt.cmake.in
               ${CMAKE_BINARY_DIR}/package-files/bundle-qt.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/package-files/bundle-qt.cmake)
# The copies of the programs in the archive get their search path when the libraries go in.
set(CPACK_STRIP_FILES ON)

# The Debian package: made by cmake/make-deb.sh from the built files into package/.
set(INKVALE_DEB_ARCH "")
find_program(INKVALE_DPKG dpkg)
if(INKVALE_DPKG)
    execute_process(COMMAND ${INKVALE_DPKG} --print-architecture
                    OUTPUT_VARIABLE INKVALE_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(INKVALE_DEB_FILE ${CMAKE_BINARY_DIR}/package/inkvale_${PROJECT_VERSION}_${INKVALE_DEB_ARCH}.deb)
configure_file(${INKVALE_PACKAGE_SOURCE_DIR}/control.in
               ${CMAKE_BINARY_DIR}/package-files/control.in @ONLY)
configure_file(${INKVALE_PACKAGE_SOURCE_DIR}/copyright.in
               ${CMAKE_BINARY_DIR}/package-files/copyright.in @ONLY)
configure_file(${INKVALE_PACKAGE_SOURCE_DIR}/changelog.in
               ${CMAKE_BINARY_DIR}/package-files/changelog @ONLY)
# The desktop's files as the package installs them: the program is on the PATH.
set(INKVALE_DEB_METAINFO ${CMAKE_BINARY_DIR}/package-files/${INKVALE_APP_ID}.metainfo.xml)
configure_file(${INKVALE_METAINFO} ${INKVALE_DEB_METAINFO} COPYONLY)
list(JOIN INKVALE_ICON_SIZES " " inkvale_icon_sizes)
add_custom_target(deb
    COMMAND ${CMAKE_COMMAND} -E env
            "INKVALE_VERSION=${PROJECT_VERSION}"
            "INKVALE_APP_ID=${INKVALE_APP_ID}"
            "INKVALE_ICON_SIZES=${inkvale_icon_sizes}"
            "INKVALE_ARTWORK_DIR=${INKVALE_ARTWORK_DIR}"
            "INKVALE_FONTS_DIR=${INKVALE_FONTS_DIR}"
            "INKVALE_DESKTOP_ENTRY=${INKVALE_DESKTOP_ENTRY}"
            "INKVALE_METAINFO=${INKVALE_METAINFO}"
            "INKVALE_FONT_LICENCES=${INKVALE_FONT_LICENCES}"
            "INKVALE_STROKES_LICENCE=${INKVALE_STROKES_LICENCE}"
            "INKVALE_PACKAGE_FILES=${CMAKE_BINARY_DIR}/package-files"
            "INKVALE_PACKAGE_SOURCES=${INKVALE_PACKAGE_SOURCE_DIR}"
            "INKVALE_DESIGNER=$<TARGET_FILE:inkvale>"
            "INKVALE_RENDER=$<TARGET_FILE:inkvale-render>"
            /bin/bash ${CMAKE_SOURCE_DIR}/cmake/make-deb.sh ${INKVALE_DEB_FILE}
    DEPENDS inkvale inkvale-render inkvale_font_licences inkvale_strokes
    COMMENT "Making the Debian package ${INKVALE_DEB_FILE}"
    VERBATIM)

include(CPack)
