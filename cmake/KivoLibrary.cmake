# A static library of one source folder, made of every .cpp in it; a folder
# with no sources yet makes no library, and a dependency on such a folder is
# left out.
function(kivo_folder_library name)
  cmake_parse_arguments(L "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_library(${name} STATIC ${sources})
  kivo_target(${name})
  foreach(dep ${L_DEPENDS})
    if(TARGET ${dep})
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY KIVO_LIBRARIES ${name})
endfunction()
