#pragma once
// The engine's option, state and attribute sets are the platform's sets.

#include "platform/Sets.h"

template <class E, class Storage = uint32_t> using KldSet = TSet<E, Storage>;
