#pragma once
// The graphics unit of the class library: colours, fonts, pens, brushes, the
// canvas with its text output, image lists and resource pictures.

#include "platform/Canvas.h"
#include "platform/Colors.h"
#include "platform/DrawText.h"
#include "platform/FrameControls.h"
#include "platform/ImageList.h"
#include "platform/Resources.h"
