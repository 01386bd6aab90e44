# Tests that run programs built elsewhere (the sanitizer build, the fuzz
# targets and the Windows launcher under Wine) are registered here, so that
# one ctest run in build/native covers everything. tools/test builds those
# presets before it runs ctest.
set(LAUNCHER_SANITIZE_DIR ${CMAKE_SOURCE_DIR}/build/sanitize CACHE PATH
    "Build tree of the sanitize preset")

# The unit tests once more, under AddressSanitizer and UBSan.
add_test(NAME sanitize.unit_tests COMMAND ${LAUNCHER_SANITIZE_DIR}/tests/unit/unit_tests)

# Each fuzz target as registered by fuzz/CMakeLists.txt in the sanitize tree;
# a source without a registered test fails instead of passing silently.
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzzer.cc)
foreach(source ${fuzz_sources})
  get_filename_component(target ${source} NAME_WE)
  add_test(NAME sanitize.fuzz.${target}
    COMMAND ${CMAKE_CTEST_COMMAND} --test-dir ${LAUNCHER_SANITIZE_DIR} -R "^fuzz\\.${target}$"
            --no-tests=error --output-on-failure)
endforeach()

# The Wine scenarios, one entry per file. They share one Wine prefix and the
# loopback ports, so they never run at the same time. Debian's interpreter is
# named because it is the one with pytest.
file(GLOB wine_scenarios CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/test_*.py)
foreach(scenario ${wine_scenarios})
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME wine.${name}
    COMMAND /usr/bin/python3 -m pytest -p no:cacheprovider -q -rfEsxX ${scenario}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/wine)
  set_tests_properties(wine.${name} PROPERTIES
    RESOURCE_LOCK wine
    TIMEOUT 1800
    ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1")
endforeach()

# The build checks, one entry per file: configuring for a vendor (refusals
# and warnings, each in a fresh build folder below the test's temporary
# folder), and the shipped i686 programs as tools/test built them.
file(GLOB build_checks CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/build/test_*.py)
foreach(check ${build_checks})
  get_filename_component(name ${check} NAME_WE)
  string(REGEX REPLACE "^test_" "" name ${name})
  add_test(NAME build.${name}
    COMMAND /usr/bin/python3 -m pytest -p no:cacheprovider -q -rfEsxX ${check}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/build)
  set_tests_properties(build.${name} PROPERTIES TIMEOUT 1800 ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1")
endforeach()
