#include "annot/Annot.h"
