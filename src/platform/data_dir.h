// The folder of the program's read-only data files, the same for every user.
//
// Installed, the program is <prefix>/bin/kvtbase and its data are in
// <prefix>/share/kvtbase (wherever the prefix is: /usr from the package, /usr/local from
// `cmake --install`, a test's throwaway root). Run from a build folder, it uses the copy the
// build keeps in <build>/share/kvtbase. $KVTBASE_DATA_DIR, when set, wins.
#pragma once

#include <string>
#include <string_view>

namespace kvt {

std::string DataDir();

// The rule without the environment: `exe` the program's own path, `buildCopy` the build's
// data folder.
std::string DataDirFor(std::string_view exe, std::string_view buildCopy);

}  // namespace kvt
