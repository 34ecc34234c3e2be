# Settings every target of ours shares. Third-party targets (GoogleTest) keep their own.

if(PBE_SANITIZE AND NOT WIN32)
  set(PBE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
endif()

function(pbe_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-missing-field-initializers)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
      _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000000)
    # Windows users get nothing but the files we ship: no runtime DLLs.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  elseif(PBE_SANITIZER_FLAGS)
    target_compile_options(${target} PRIVATE ${PBE_SANITIZER_FLAGS})
    target_link_options(${target} PRIVATE ${PBE_SANITIZER_FLAGS})
  endif()
endfunction()

set(PBE_TEST_RESULTS "${CMAKE_BINARY_DIR}/test-results")
set(PBE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")

# A GoogleTest executable registered with ctest. On Windows targets ctest runs it
# through the Wine wrapper (the toolchain's crosscompiling emulator).
function(pbe_add_gtest name)
  cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  pbe_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  # Each run leaves a JUnit report, which scripts/test sums up case by case.
  if(WIN32)
    set(report "Z:${PBE_TEST_RESULTS}/${name}.xml")
  else()
    set(report "${PBE_TEST_RESULTS}/${name}.xml")
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 --gtest_output=xml:${report})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine LABELS "windows;${T_LABELS}"
      ENVIRONMENT "PBE_DIST=${PBE_DIST_DIR};WINEPREFIX=${PBE_WINEPREFIX};PBE_BUILD=${CMAKE_BINARY_DIR};LANG=en_US.UTF-8;LC_ALL=en_US.UTF-8")
  else()
    set_tests_properties(${name} PROPERTIES LABELS "native;${T_LABELS}")
  endif()
endfunction()
