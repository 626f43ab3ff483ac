#include "ecg_export/ekgxml.h"
