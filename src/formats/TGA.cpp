#include "formats/TGA.h"
