#include "platform/Resources.h"

#include <QFile>

namespace {
QString ResourcePath(const std::string& name, TResType type)
{
    const QString base = QStringLiteral(":/res/") + QString::fromStdString(name);
    if (type == rtBitmap)
        return base + QStringLiteral(".bmp");
    // Raw data holding a picture carries the picture's extension; other raw
    // data is kept under its bare name.
    const QString png = base + QStringLiteral(".png");
    return QFile::exists(png) ? png : base;
}
} // namespace

bool FindResource(const std::string& name, TResType type)
{
    return !name.empty() && QFile::exists(ResourcePath(name, type));
}

bool LoadResourceData(const std::string& name, TResType type, std::string& data)
{
    if (name.empty())
        return false;
    QFile file(ResourcePath(name, type));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    data.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

QImage LoadResourceImage(const std::string& name, TResType type)
{
    if (name.empty())
        return {};
    QImage image(ResourcePath(name, type), type == rtBitmap ? "BMP" : "PNG");
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
