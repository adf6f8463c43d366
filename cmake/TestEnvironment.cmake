# What every test of this build runs with, whoever starts CTest: Qt wants a private runtime
# folder (owned by the user, mode 0700) and prints "QStandardPaths: XDG_RUNTIME_DIR not set"
# at every start without one. CTest reads the script below before it lists or runs a test,
# and the tests inherit what it sets.
set(VORLA_TEST_RUNTIME_DIR ${CMAKE_BINARY_DIR}/test-runtime)
set(test_environment_script ${CMAKE_BINARY_DIR}/TestEnvironment.cmake)
file(WRITE ${test_environment_script}
  "file(MAKE_DIRECTORY \"${VORLA_TEST_RUNTIME_DIR}\")\n"
  "file(CHMOD \"${VORLA_TEST_RUNTIME_DIR}\" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)\n"
  "set(ENV{XDG_RUNTIME_DIR} \"${VORLA_TEST_RUNTIME_DIR}\")\n")
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
             ${test_environment_script})
