#pragma once
#include "low/Low.h"
#include "high/Other.h"
