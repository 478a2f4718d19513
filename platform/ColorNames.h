#pragma once
// Colour texts as forms and commands write them: the names of the colour
// constants ("clRed", "clBtnFace", any case) or a number ("$BBGGRR" in hex,
// or decimal).

#include "platform/Colors.h"

#include <string>

// The colour of a constant name (case ignored), else of the number the text
// is; a text that is neither raises EConvertError "'%s' is not a valid
// integer value".
TColor StringToColor(const std::string& Text);
// The colour of a constant name (case ignored); False when Text names none.
bool IdentToColor(const std::string& Text, TColor& Color);
