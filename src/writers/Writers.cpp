#include "writers/Writers.h"
