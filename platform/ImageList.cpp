#include "platform/ImageList.h"

#include "platform/Canvas.h"

#include <QPainter>

TCustomImageList::TCustomImageList(int width, int height)
    : m_width(std::max(1, width)), m_height(std::max(1, height))
{
}

int TCustomImageList::AddPieces(const QImage& picture)
{
    if (picture.isNull())
        return -1;
    // Premultiplied: what the painter blends fastest.
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int first = Count();
    const int pieces = std::max(1, source.width() / m_width);
    for (int i = 0; i < pieces; ++i) {
        QImage piece(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
        piece.fill(Qt::transparent);
        QPainter p(&piece);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(0, 0), source, QRect(i * m_width, 0, m_width, m_height));
        p.end();
        m_images.push_back(std::move(piece));
    }
    m_disabled.clear();
    return first;
}

int TCustomImageList::Add(const QImage& picture)
{
    return AddPieces(picture);
}

int TCustomImageList::AddMasked(const QImage& picture, TColor maskColor)
{
    if (picture.isNull())
        return -1;
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    const TColor key = ColorToRGB(maskColor);
    const QRgb keyRgb = qRgb(GetRValue(key), GetGValue(key), GetBValue(key));
    for (int y = 0; y < keyed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            line[x] = (line[x] & 0xFFFFFF) == (keyRgb & 0xFFFFFF) ? 0 : (line[x] | 0xFF000000u);
    }
    return AddPieces(keyed);
}

bool TCustomImageList::ResourceLoad(TResType type, const std::string& name, TColor maskColor)
{
    const QImage picture = LoadResourceImage(name, type);
    if (picture.isNull())
        return false;
    if (type == rtBitmap && maskColor != clNone)
        AddMasked(picture, maskColor);
    else
        Add(picture);
    return true;
}

void TCustomImageList::Delete(int index)
{
    if (!ValidIndex(index))
        return;
    m_images.erase(m_images.begin() + index);
    m_disabled.clear();
}

void TCustomImageList::Clear()
{
    m_images.clear();
    m_disabled.clear();
}

QImage TCustomImageList::GetImage(int index) const
{
    return ValidIndex(index) ? m_images[index] : QImage();
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) const
{
    if (!ValidIndex(index))
        return;
    if (enabled) {
        canvas.Draw(x, y, m_images[index]);
        return;
    }
    if (m_disabled.size() != m_images.size()) {
        m_disabled.clear();
        for (const QImage& image : m_images) {
            QImage grey = image.convertToFormat(QImage::Format_ARGB32);
            for (int row = 0; row < grey.height(); ++row) {
                auto* line = reinterpret_cast<QRgb*>(grey.scanLine(row));
                for (int col = 0; col < grey.width(); ++col) {
                    // Grey, lifted half way to white, at half the opacity.
                    const int g = (qGray(line[col]) + 255) / 2;
                    line[col] = qRgba(g, g, g, qAlpha(line[col]) / 2);
                }
            }
            m_disabled.push_back(grey.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
    }
    canvas.Draw(x, y, m_disabled[index]);
}
