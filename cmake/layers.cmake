# Folders are layers: each is one static library, linked downwards only. A library's sources see
# an include root of their own folder alone (a link to it beneath the build folder); the folders
# beneath come with the libraries it links. An include of a folder above is "No such file".
function(morvaleth_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 layer "" "" "SOURCES;DEPENDS;PLATFORM")
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(sources ${layer_SOURCES})
    if(NOT sources)
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${layer_DEPENDS} ${layer_PLATFORM})
    set_target_properties(${target} PROPERTIES MORVALETH_SHIPPED ON)
endfunction()
