// Compiles the shared precompiled header (cmake/test_pch.h, for the tests) for every target.
