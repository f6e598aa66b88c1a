# Inkvale's style fonts: include() this from the top CMakeLists.txt.
#
# Defines
#   INKVALE_FONTS_DIR   folder that receives the built fonts (${CMAKE_BINARY_DIR}/style-fonts)
#   INKVALE_FONT_FILES  the fifteen built files, M=1..15: ${INKVALE_FONTS_DIR}/1.ttf ... 15.ttf
#   inkvale_fonts       custom target that builds them
#
# tools/fonts/build.py makes them from the sources that tools/fonts/fetch.sh put in the
# user's cache, and keeps its own cache of built fonts, so a rebuild only copies them.
# Without fetched sources the build stops and says to run tools/fonts/fetch.sh.
# tools/fonts/pinned.py runs it and holds every font, cached or built, to the hash pinned in
# tools/fonts/built-fonts.sha256: a cached font that differs is built again, with a message.

set(INKVALE_FONTS_TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(INKVALE_FONTS_PYTHON /usr/bin/python3 CACHE FILEPATH
    "Python with Debian's fontTools (python3-fonttools) used to build the style fonts")
# A folder of its own: the program deploys its fonts into "fonts" beside itself, and running
# it from the build folder must not touch the build's outputs.
set(INKVALE_FONTS_DIR ${CMAKE_BINARY_DIR}/style-fonts)

set(INKVALE_FONT_FILES)
foreach(m RANGE 1 15)
    list(APPEND INKVALE_FONT_FILES ${INKVALE_FONTS_DIR}/${m}.ttf)
endforeach()

add_custom_command(
    OUTPUT ${INKVALE_FONT_FILES}
    COMMAND ${INKVALE_FONTS_PYTHON} ${INKVALE_FONTS_TOOLS_DIR}/pinned.py --out ${INKVALE_FONTS_DIR}
    DEPENDS ${INKVALE_FONTS_TOOLS_DIR}/manifest.json ${INKVALE_FONTS_TOOLS_DIR}/build.py
            ${INKVALE_FONTS_TOOLS_DIR}/pinned.py ${INKVALE_FONTS_TOOLS_DIR}/built-fonts.sha256
    COMMENT "Building the style fonts (tools/fonts/build.py; sources from tools/fonts/fetch.sh)"
    VERBATIM)

add_custom_target(inkvale_fonts DEPENDS ${INKVALE_FONT_FILES})
