# widl turns resources/Morvaleth.idl into the type library, the C++ header and the identifiers.
# The 64-bit library is built for SYS_WIN64 and imports the 64-bit stdole2.tlb.
find_program(MORVALETH_PYTHON NAMES python3 REQUIRED)
find_program(WIDL NAMES ${MORVALETH_TRIPLET}-widl widl REQUIRED)
set(MORVALETH_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Where widl finds oaidl.idl and ocidl.idl")
if(MORVALETH_ARCH STREQUAL "x64")
    set(MORVALETH_WIDL_TARGET --win64)
    set(stdole /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
else()
    set(MORVALETH_WIDL_TARGET --win32)
    set(stdole /usr/lib/i386-linux-gnu/wine/i386-windows)
endif()
set(MORVALETH_STDOLE_DIR ${stdole} CACHE PATH "Where widl finds stdole2.tlb")
set(MORVALETH_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(MORVALETH_TLB ${MORVALETH_GENERATED_DIR}/Morvaleth.tlb)
set(MORVALETH_HEADER ${MORVALETH_GENERATED_DIR}/Morvaleth.h)
set(MORVALETH_IID_SOURCE ${MORVALETH_GENERATED_DIR}/Morvaleth_i.c)
file(MAKE_DIRECTORY ${MORVALETH_GENERATED_DIR})
add_custom_command(
    OUTPUT ${MORVALETH_TLB} ${MORVALETH_HEADER} ${MORVALETH_IID_SOURCE}
    COMMAND ${WIDL} ${MORVALETH_WIDL_TARGET} -I${MORVALETH_WINE_IDL_DIR} -L${MORVALETH_STDOLE_DIR}
            -t -o ${MORVALETH_TLB} -h -H ${MORVALETH_HEADER} -u -U ${MORVALETH_IID_SOURCE}
            ${CMAKE_SOURCE_DIR}/resources/Morvaleth.idl
    # widl names its input's full path in the first line of the header and the identifiers.
    COMMAND sed -i "1s|from .*/Morvaleth.idl|from Morvaleth.idl|" ${MORVALETH_HEADER} ${MORVALETH_IID_SOURCE}
    # widl stamps the library with the build's time; a fixed one keeps the DLL reproducible.
    COMMAND ${MORVALETH_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/typelib-time.py ${MORVALETH_TLB}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/Morvaleth.idl ${CMAKE_SOURCE_DIR}/cmake/typelib-time.py
    WORKING_DIRECTORY ${MORVALETH_GENERATED_DIR}
    COMMENT "widl Morvaleth.idl"
    VERBATIM)
add_custom_target(morvaleth_idl DEPENDS ${MORVALETH_TLB} ${MORVALETH_HEADER} ${MORVALETH_IID_SOURCE})
