// BRISKLET_ENGINE_EXPORT: marks what the shared BriskletEngine exports.
//
// The engine compiles with hidden visibility, so a type or function is part of the library's ABI only
// when its declaration carries this mark. Marked: what the app, brisklet-cli and the benches call, and
// every error type thrown across the library boundary (their type information must be one object so
// `catch` and the sanitizers' type checks agree on both sides). Everything else (the I/O pool, the
// collectors, parsers, helpers) stays inside the library; tests of those link the static twin
// BriskletEngineStatic instead (docs/engine-layout.md).
//
// The same objects make up the shared library and the static twin, so the mark is the same in both;
// in a program linked statically it changes nothing.
#pragma once

#define BRISKLET_ENGINE_EXPORT __attribute__((visibility("default")))
