# The oldest Windows that every shipped program loads on: Windows XP SP3 and Server 2003 SP2 for
# x86, their x64 editions for x64. tests/check-imports holds the import tables to it
# (tests/imports.tsv); a later function is found at run time, with a fallback.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MORVALETH_FLOOR_WINNT 0x0502)
    set(MORVALETH_FLOOR_MINOR 2)
else()
    set(MORVALETH_FLOOR_WINNT 0x0501)
    set(MORVALETH_FLOOR_MINOR 1)
endif()

# Shipped code sees only the floor's functions in the headers; tests and tools that never ship
# may use Windows 7's.
set(floor_winnt $<IF:$<BOOL:$<TARGET_PROPERTY:MORVALETH_SHIPPED>>,${MORVALETH_FLOOR_WINNT},0x0601>)
add_compile_definitions(_WIN32_WINNT=${floor_winnt} WINVER=${floor_winnt})

# Marks targets as shipped code. A program or DLL also gets the floor in its PE header (OS and
# subsystem version) and its own GetTickCount64 import pointer (win/TickCountImport.cpp).
function(morvaleth_shipped)
    foreach(target ${ARGN})
        set_target_properties(${target} PROPERTIES MORVALETH_SHIPPED ON)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY")
            target_link_libraries(${target} PRIVATE morvaleth_tick_count_import)
            target_link_options(${target} PRIVATE
                -Wl,--major-os-version,5,--minor-os-version,${MORVALETH_FLOOR_MINOR}
                -Wl,--major-subsystem-version,5,--minor-subsystem-version,${MORVALETH_FLOOR_MINOR})
        endif()
    endforeach()
endfunction()
