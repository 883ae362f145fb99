// SampleGame: the sample game of orvandel-mkgame, written once into the build tree and
// shared by the window and end-to-end tests (read only: the viewer writes sector.dat
// into its working directory, which the tests keep elsewhere).
#pragma once

#include <string>

namespace orvtest {

// The game's directory, without a trailing delimiter; empty when the generator is not
// built or failed.
const std::string& SampleGame();
// A new empty directory under the system's temporary directory.
std::string NewTempDir(const std::string& stem);

}  // namespace orvtest
