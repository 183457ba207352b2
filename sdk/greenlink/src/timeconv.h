#pragma once
#include "greenlink_time.h"
