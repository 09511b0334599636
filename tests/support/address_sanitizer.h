// Whether this build runs under AddressSanitizer, which reserves its shadow
// memory up front and holds freed blocks in quarantine: gcc says so with
// __SANITIZE_ADDRESS__, clang through __has_feature.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_ADDRESS_SANITIZER 1
#endif
#endif
