# Fonts for text without a window system (Linux): FreeType renders faces of
# two free fonts embedded in the core at build time, metric-compatible
# Liberation Sans for "Arial" and DejaVu Sans for "Verdana" (Debian packages
# fonts-liberation2 and fonts-dejavu-core; licences in README.md). Text then
# looks the same on every distribution and in pictures drawn headless.
# Liberation 2 and not the 1.x of the package fonts-liberation: 1.x is under
# the GPL with an exception only for documents, 2.x under the SIL Open Font
# License, which allows bundling with software.
# Windows uses GDI's fonts and needs none of this.

find_package(Freetype REQUIRED)
target_link_libraries(quarvi_core PUBLIC Freetype::Freetype)

find_file(QUARVI_FONT_LIBERATION_SANS LiberationSans-Regular.ttf
          PATHS /usr/share/fonts/truetype/liberation2 NO_DEFAULT_PATH)
find_file(QUARVI_FONT_DEJAVU_SANS DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu NO_DEFAULT_PATH)
foreach(f QUARVI_FONT_LIBERATION_SANS QUARVI_FONT_DEJAVU_SANS)
  if(NOT ${f})
    message(FATAL_ERROR "${f}: font file not found; run scripts/setup.sh (fonts-liberation2, fonts-dejavu-core)")
  endif()
endforeach()

set(QUARVI_FONTS_MANIFEST ${CMAKE_BINARY_DIR}/resources/fonts.txt)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/resources)
file(WRITE ${QUARVI_FONTS_MANIFEST}.in
     "FONT|LiberationSans|${QUARVI_FONT_LIBERATION_SANS}\nFONT|DejaVuSans|${QUARVI_FONT_DEJAVU_SANS}\n")
configure_file(${QUARVI_FONTS_MANIFEST}.in ${QUARVI_FONTS_MANIFEST} COPYONLY)
set(QUARVI_FONTS_CPP ${CMAKE_BINARY_DIR}/resources/EmbeddedFonts.cpp)
add_custom_command(OUTPUT ${QUARVI_FONTS_CPP}
                   COMMAND ${CMAKE_COMMAND} -DMANIFEST=${QUARVI_FONTS_MANIFEST} -DOUTPUT=${QUARVI_FONTS_CPP}
                           -DFUNCTION=QuarviRegisterEmbeddedFonts -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
                   DEPENDS ${QUARVI_FONTS_MANIFEST} ${QUARVI_FONT_LIBERATION_SANS} ${QUARVI_FONT_DEJAVU_SANS}
                           ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
                   COMMENT "Embedding the fonts"
                   VERBATIM)
target_sources(quarvi_core PRIVATE ${QUARVI_FONTS_CPP})
