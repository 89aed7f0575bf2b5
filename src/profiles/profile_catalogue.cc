#include "profiles/profile_catalogue.h"
