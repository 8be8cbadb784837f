// For tests that never load assets: the show's data directory, unused.
#include "assets/assets.h"

const char* const show_data_dir = "/nonexistent/";
