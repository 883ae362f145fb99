// Writers of the game's formats (MPAK archives, PCX, DDS, TGA and BMP images), used by
// the tests and by the sample-game generator. The viewer itself never writes these.
#pragma once
