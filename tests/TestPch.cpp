// The unit that compiles the tests' shared precompiled header (see
// tests/CMakeLists.txt); it holds nothing of its own.
