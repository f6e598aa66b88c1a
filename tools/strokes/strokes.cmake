# Inkvale's stroke-order data: include() this from the top CMakeLists.txt.
#
# Defines
#   INKVALE_STROKES_FILE     the compact medians file the drawing core carries
#   INKVALE_STROKES_LICENCE  its licence, the Arphic Public License (ARPHICPL.TXT)
#   inkvale_strokes          custom target that builds them
#
# tools/strokes/build.py makes them from the npm archive of hanzi-writer-data pinned in
# tools/strokes/pin.json, fetched once into the user's cache from the registry.

set(INKVALE_STROKES_TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(INKVALE_STROKES_DIR ${CMAKE_BINARY_DIR}/stroke-data)
set(INKVALE_STROKES_FILE ${INKVALE_STROKES_DIR}/strokes.bin)
set(INKVALE_STROKES_LICENCE ${INKVALE_STROKES_DIR}/ARPHICPL.TXT)

add_custom_command(
    OUTPUT ${INKVALE_STROKES_FILE} ${INKVALE_STROKES_LICENCE}
    COMMAND /usr/bin/python3 ${INKVALE_STROKES_TOOLS_DIR}/build.py
            --out ${INKVALE_STROKES_FILE} --licence ${INKVALE_STROKES_LICENCE}
    DEPENDS ${INKVALE_STROKES_TOOLS_DIR}/pin.json ${INKVALE_STROKES_TOOLS_DIR}/build.py
    COMMENT "Building the stroke-order data (tools/strokes/build.py)"
    VERBATIM)

add_custom_target(inkvale_strokes DEPENDS ${INKVALE_STROKES_FILE} ${INKVALE_STROKES_LICENCE})
