# Included by the host build: one ctest test per libFuzzer target, each a bounded run of
# tools/fuzz.sh (which builds the targets with clang first), so that CI fuzzes every landing
# and one ctest run still prints one summary. EDGEPAD_FUZZ_SECONDS sets the time per target.
set(EDGEPAD_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
find_program(EDGEPAD_CLANGXX clang++)
if(EDGEPAD_CLANGXX)
    file(GLOB EDGEPAD_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_fuzz.cpp)
    foreach(source ${EDGEPAD_FUZZ_TARGETS})
        get_filename_component(target ${source} NAME_WE)
        string(REGEX REPLACE "_fuzz$" "" name ${target})
        add_test(NAME fuzz.${name} COMMAND bash ${CMAKE_SOURCE_DIR}/tools/fuzz.sh
            ${EDGEPAD_FUZZ_SECONDS} ${target})
        # The first one also builds every target.
        set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 900
            RESOURCE_LOCK fuzz_build)
    endforeach()
endif()
