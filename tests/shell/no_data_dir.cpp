// For tests that never load assets: the show's data directory, unused.
#include "assets/assets.h"

const char* show_data_dir = "/nonexistent/";
