#pragma once

#include <QString>

// The version this build was made from (the repository's, see cmake/SourceVersion.cmake).
// Its definitions are written by the build, so that a new version compiles one file.
namespace BuildVersion {

// "MAJOR.MINOR.PATCH", as the package and --version name it.
QString text();

} // namespace BuildVersion
