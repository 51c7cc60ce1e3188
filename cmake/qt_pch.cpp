// Compiles the shared precompiled header (cmake/qt_pch.h) for every target.
