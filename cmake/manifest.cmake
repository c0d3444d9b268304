# The assembly manifest (RT_MANIFEST 1) of Morvaleth.DLL, for activation without registration. It is
# written from the registration script, the interface definition and the version resource, so it
# names what regsvr32 registers. The application manifest beside it is the clients' side (tests).
if(MORVALETH_ARCH STREQUAL "x64")
    set(MORVALETH_MANIFEST_ARCH amd64)
else()
    set(MORVALETH_MANIFEST_ARCH x86)
endif()
set(MORVALETH_MANIFEST ${MORVALETH_GENERATED_DIR}/Morvaleth.manifest)
set(MORVALETH_CLIENT_MANIFEST ${MORVALETH_GENERATED_DIR}/MorvalethClient.manifest)
set(manifest_sources ${CMAKE_SOURCE_DIR}/resources/Morvaleth.idl ${CMAKE_SOURCE_DIR}/resources/Morvaleth.rgs
    ${CMAKE_SOURCE_DIR}/resources/version.h)
add_custom_command(
    OUTPUT ${MORVALETH_MANIFEST} ${MORVALETH_CLIENT_MANIFEST}
    COMMAND ${MORVALETH_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/manifest.py --arch ${MORVALETH_MANIFEST_ARCH}
            --idl ${CMAKE_SOURCE_DIR}/resources/Morvaleth.idl --rgs ${CMAKE_SOURCE_DIR}/resources/Morvaleth.rgs
            --version-h ${CMAKE_SOURCE_DIR}/resources/version.h --out ${MORVALETH_MANIFEST}
            --application Morvaleth.Client ${MORVALETH_CLIENT_MANIFEST}
    DEPENDS ${manifest_sources} ${CMAKE_SOURCE_DIR}/cmake/manifest.py
    COMMENT "Morvaleth.manifest"
    VERBATIM)
add_custom_target(morvaleth_manifest DEPENDS ${MORVALETH_MANIFEST} ${MORVALETH_CLIENT_MANIFEST})

# Every DLL built from resources/Morvaleth.rc embeds it; call in the folder that defines the target.
function(morvaleth_embed_manifest target)
    add_dependencies(${target} morvaleth_manifest)
    set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/Morvaleth.rc APPEND PROPERTY OBJECT_DEPENDS ${MORVALETH_MANIFEST})
endfunction()
morvaleth_embed_manifest(Morvaleth)
