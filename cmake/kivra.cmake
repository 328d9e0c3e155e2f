# Adds a subdirectory when it has a CMakeLists.txt, so layers can land one at a time.
function(kivra_subdirectory dir)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
        add_subdirectory(${dir})
    endif()
endfunction()

# One test executable per layer: kivra_add_test(NAME SOURCES... LIBS ...).
# Every test runs with the offscreen platform and a private registry folder.
function(kivra_add_test name)
    cmake_parse_arguments(T "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_QT)
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common/qtmain.cpp)
        target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets GTest::gtest GTest::gmock)
    else()
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
    endif()
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KIVRA_BIN_DIR=${CMAKE_BINARY_DIR}/bin;KIVRA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
        TIMEOUT 300)
endfunction()
