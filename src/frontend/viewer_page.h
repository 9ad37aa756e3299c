// The viewer's page that this build of the program carries (--html), when it carries one.
#pragma once

#include <optional>

#include "forms/html_page.h"

namespace symdeck {

// Nothing when the build had no WebAssembly toolchain to make the page's walk with.
std::optional<PageTemplate> embeddedViewerPage();

// What --html says then: which packages a build needs for the viewer.
inline constexpr const char* kNoViewerMessage =
    "  This symdeck has no viewer: build it where clang-14, lld-14, wasi-libc, "
    "libc++-14-dev-wasm32, libc++abi-14-dev-wasm32, libclang-rt-14-dev-wasm32 and nodejs are installed.\n";

}  // namespace symdeck
