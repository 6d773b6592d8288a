# kr5m_headers(<target> <path>...)
# Gives the target an include root of its own that holds only the given paths below src/ (its folder,
# or single headers), linked in place. Whatever links the target can include those and nothing else of
# src/: an include that reaches a layer it does not link fails to build.
function(kr5m_headers target)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(path ${ARGN})
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(REMOVE ${root}/${path})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# The include root of a library, for a target that compiles some of that library's sources itself.
function(kr5m_headers_of target library)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/include/${library})
endfunction()
