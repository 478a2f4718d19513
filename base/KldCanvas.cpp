#include "base/KldCanvas.h"

#include <utility>

TKldCanvas::TKldCanvas(int Width, int Height) : m_width(Width), m_height(Height) {}

TKldCanvas::TKldCanvas(const QPoint& Size) : TKldCanvas(Size.x(), Size.y()) {}

TKldCanvas::~TKldCanvas()
{
    FreeContext();
}

QPainter& TKldCanvas::Painter()
{
    if (!m_painter)
        CreateHandle();
    return *m_painter;
}

void TKldCanvas::CreateHandle()
{
    if (!m_painter)
        m_painter = std::make_unique<QPainter>();
    SetHandle(m_painter.get());
    CreateBitmap();
}

void TKldCanvas::CreateBitmap()
{
    if (!m_painter) {
        // Reading the handle makes it, which in turn makes the bitmap.
        CreateHandle();
        return;
    }
    // The painter's state belongs to the canvas, not to the bitmap: carry it
    // over to the new one.
    const bool wasActive = m_painter->isActive();
    const QPen pen = wasActive ? m_painter->pen() : QPen();
    const QBrush brush = wasActive ? m_painter->brush() : QBrush();
    const QFont font = wasActive ? m_painter->font() : QFont();
    if (wasActive)
        m_painter->end();

    // The new bitmap is made while the old one still exists, so its memory
    // never lands at the old address and Bits() visibly changes.
    QImage bitmap;
    if (m_width > 0 && m_height > 0) {
        bitmap = QImage(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
        if (!bitmap.isNull())
            bitmap.fill(0);
    }
    m_bitmap = std::move(bitmap);
    BeginPainting();
    if (wasActive && m_painter->isActive()) {
        m_painter->setPen(pen);
        m_painter->setBrush(brush);
        m_painter->setFont(font);
    }
}

void TKldCanvas::BeginPainting()
{
    if (!m_bitmap.isNull())
        m_painter->begin(&m_bitmap);
}

void TKldCanvas::SetSize(const QPoint& Size)
{
    if (Size.x() == m_width && Size.y() == m_height)
        return;
    m_width = Size.x();
    m_height = Size.y();
    if (m_painter)
        CreateBitmap();
    else
        CreateHandle();
}

uint8_t* TKldCanvas::Bits()
{
    if (!m_painter)
        CreateHandle();
    if (m_bitmap.isNull())
        return nullptr;
    // The non-detaching access: a copy of Bitmap() held elsewhere must not
    // move the canvas's pixels away from the memory its painter draws into.
    return const_cast<uint8_t*>(std::as_const(m_bitmap).constBits());
}

void TKldCanvas::FreeContext()
{
    if (m_painter && m_painter->isActive())
        m_painter->end();
    SetHandle(nullptr);
    m_painter.reset();
    m_bitmap = QImage();
}
