#include "ui/CommandMap.h"
