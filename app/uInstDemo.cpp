#include "uInstDemo.h"
