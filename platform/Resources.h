#pragma once
// The program's resources: pictures and raw data that folders compile into
// the program (Qt's resource system, under ":/res/"). A bitmap resource NAME
// is the file "NAME.bmp", a PNG kept as raw data is "NAME.png", other raw
// data is "NAME". Names are the system's own ("BMP_APPSUB", "PNG_SLIDERUP").

#include <QImage>

#include <string>

enum TResType
{
    rtBitmap, // a BMP picture
    rtRCData  // raw data; pictures in it are PNG files
};

// Whether the resource exists.
bool FindResource(const std::string& name, TResType type);
// The resource's bytes; false when there is none.
bool LoadResourceData(const std::string& name, TResType type, std::string& data);
// The picture in 32-bit premultiplied ARGB, the format the painter draws
// fastest (a PNG keeps its alpha, a BMP is opaque); a null image when the
// resource is missing or is no picture.
QImage LoadResourceImage(const std::string& name, TResType type);
