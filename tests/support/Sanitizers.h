#pragma once
// KLD_TEST_ASAN is defined when the test is built with the address
// sanitizer (GCC or clang), for tests of what only the sanitizer reports.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KLD_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KLD_TEST_ASAN 1
#endif
