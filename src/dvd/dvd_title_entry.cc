#include "dvd/dvd_title_entry.h"
