// Linked into every test program: the environment the tests rely on, set before any test runs,
// so that a test program started by hand behaves as under CTest. Values already set win.
#include <cstdlib>

namespace {
struct TestEnvironment {
    TestEnvironment() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("DMM_SOURCE_DIR", DMM_TEST_SOURCE_DIR, 0);
        setenv("DMM_BINARY_DIR", DMM_TEST_BINARY_DIR, 0);
    }
} const testEnvironment;
} // namespace
