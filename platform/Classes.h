#pragma once
// The class library's containers, streams and component model in one include.

#include "platform/Collection.h"
#include "platform/Component.h"
#include "platform/IniFiles.h"
#include "platform/ObjectList.h"
#include "platform/Persistent.h"
#include "platform/Streams.h"
#include "platform/StringList.h"
