# The editor's images: resources/img/<name>.png embedded in every binary that
# links quarvi_core as the resources "#1".."#17" of type "PNG":
#   Windows: a resource script compiled with windres, linked as an object
#            library (a member of the static core holding only resources
#            would never be pulled in);
#   elsewhere: generated C++ (cmake/EmbedFiles.cmake) compiled into the core,
#            whose function the image loader calls to register the bytes.
# An image that does not exist is left out (with a status message); the
# glob below makes the build configure again when images are added.

set(QUARVI_EDITOR_IMAGES
  back=1 button_off=2 button_on=3 button_white_off=4 button_white_on=5
  button_orange_off=6 button_orange_on=7 digits=8 next=9 knob=10 knob_white=11
  learn=12 led=13 switch2=14 switch3=15 unlearn=16 prev=17)
set(QUARVI_IMAGE_DIR ${CMAKE_SOURCE_DIR}/resources/img)
file(GLOB QUARVI_IMAGE_FILES CONFIGURE_DEPENDS ${QUARVI_IMAGE_DIR}/*.png)

set(QUARVI_IMAGE_ENTRIES "")  # "<id>|<path>" of the images present
set(QUARVI_IMAGE_PATHS "")
set(missing "")
foreach(pair ${QUARVI_EDITOR_IMAGES})
  string(REPLACE "=" ";" parts ${pair})
  list(GET parts 0 name)
  list(GET parts 1 id)
  set(path ${QUARVI_IMAGE_DIR}/${name}.png)
  if(EXISTS ${path})
    list(APPEND QUARVI_IMAGE_ENTRIES "${id}|${path}")
    list(APPEND QUARVI_IMAGE_PATHS ${path})
  else()
    list(APPEND missing ${name}.png)
  endif()
endforeach()
if(missing)
  list(JOIN missing ", " missing_text)
  message(STATUS "Editor images not in resources/img, left out of the build: ${missing_text}")
endif()

file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/resources)

if(WIN32)
  if(QUARVI_IMAGE_ENTRIES)
    set(rc "")
    foreach(entry ${QUARVI_IMAGE_ENTRIES})
      string(REPLACE "|" ";" parts "${entry}")
      list(GET parts 0 id)
      list(GET parts 1 path)
      string(APPEND rc "${id} PNG \"${path}\"\n")
    endforeach()
    set(QUARVI_IMAGES_RC ${CMAKE_BINARY_DIR}/resources/editor-images.rc)
    file(WRITE ${QUARVI_IMAGES_RC}.in "${rc}")
    configure_file(${QUARVI_IMAGES_RC}.in ${QUARVI_IMAGES_RC} COPYONLY)
    # windres reads the images itself; a changed image must rebuild the object.
    set_source_files_properties(${QUARVI_IMAGES_RC} PROPERTIES OBJECT_DEPENDS "${QUARVI_IMAGE_PATHS}")
    add_library(quarvi_editor_images OBJECT ${QUARVI_IMAGES_RC})
    # Every program and library that links the core carries the images.
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quarvi_link_into_core_users quarvi_editor_images)
  endif()
else()
  set(manifest "")
  foreach(entry ${QUARVI_IMAGE_ENTRIES})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 id)
    list(GET parts 1 path)
    string(APPEND manifest "PNG|#${id}|${path}\n")
  endforeach()
  set(QUARVI_IMAGES_MANIFEST ${CMAKE_BINARY_DIR}/resources/editor-images.txt)
  file(WRITE ${QUARVI_IMAGES_MANIFEST}.in "${manifest}")
  configure_file(${QUARVI_IMAGES_MANIFEST}.in ${QUARVI_IMAGES_MANIFEST} COPYONLY)
  set(QUARVI_IMAGES_CPP ${CMAKE_BINARY_DIR}/resources/EditorImages.cpp)
  add_custom_command(OUTPUT ${QUARVI_IMAGES_CPP}
                     COMMAND ${CMAKE_COMMAND} -DMANIFEST=${QUARVI_IMAGES_MANIFEST} -DOUTPUT=${QUARVI_IMAGES_CPP}
                             -DFUNCTION=QuarviRegisterEditorImages -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
                     DEPENDS ${QUARVI_IMAGES_MANIFEST} ${QUARVI_IMAGE_PATHS} ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
                     COMMENT "Embedding the editor images"
                     VERBATIM)
  target_sources(quarvi_core PRIVATE ${QUARVI_IMAGES_CPP})
endif()
