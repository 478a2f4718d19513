#include "ui/ovnPictures.h"

#include "platform/Resources.h"
#include "ui/KldAppUtils.h"

#include <QCoreApplication>

#include <memory>

namespace {
std::unique_ptr<TovnPictures>& Holder()
{
    static std::unique_ptr<TovnPictures> pictures;
    return pictures;
}

void FreePictures()
{
    Holder().reset();
}

QImage LoadPng(const char* Name)
{
    return LoadResourceImage(Name, rtRCData);
}
} // namespace

QImage LoadTransparentBitmap(const std::string& Name)
{
    Q_INIT_RESOURCE(KldAppResources);
    QImage image = LoadResourceImage(Name, rtBitmap);
    if (image.isNull() || image.width() == 0 || image.height() == 0)
        return {};
    image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = 0;
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

const TovnPictures& ovnPictures()
{
    auto& holder = Holder();
    if (holder)
        return *holder;
    Q_INIT_RESOURCE(KldAppResources);
    auto p = std::make_unique<TovnPictures>();
    p->bmpDISABLED = LoadTransparentBitmap("DISABLED");
    p->bmpREAD_FOCUSED = LoadTransparentBitmap("READ_FOCUSED");
    p->bmpREAD_NORMAL = LoadTransparentBitmap("READ_NORMAL");
    p->bmpNORMAL = LoadTransparentBitmap("NORMAL");
    p->bmpFOCUSED = LoadTransparentBitmap("FOCUSED");
    p->bmpR_F = LoadTransparentBitmap("RADIO_F");
    p->bmpR_T = LoadTransparentBitmap("RADIO_T");
    p->bmpR_F_FOCUSED = LoadTransparentBitmap("RADIO_F_FOCUSED");
    p->bmpR_T_FOCUSED = LoadTransparentBitmap("RADIO_T_FOCUSED");
    p->bmpR_F_DISABLED = LoadTransparentBitmap("RADIO_F_DISABLED");
    p->bmpR_T_DISABLED = LoadTransparentBitmap("RADIO_T_DISABLED");
    p->pngDISABLED = LoadPng("PNG_DISABLED");
    p->pngREAD_FOCUSED = LoadPng("PNG_READ_FOCUSED");
    p->pngREAD_NORMAL = LoadPng("PNG_READ_NORMAL");
    p->pngNORMAL = LoadPng("PNG_NORMAL");
    p->pngFOCUSED = LoadPng("PNG_FOCUSED");
    p->pngR_F = LoadPng("PNG_RADIO_F");
    p->pngR_T = LoadPng("PNG_RADIO_T");
    p->pngR_F_FOCUSED = LoadPng("PNG_RADIO_F_FOCUSED");
    p->pngR_T_FOCUSED = LoadPng("PNG_RADIO_T_FOCUSED");
    p->pngR_F_DISABLED = LoadPng("PNG_RADIO_F_DISABLED");
    p->pngR_T_DISABLED = LoadPng("PNG_RADIO_T_DISABLED");
    p->pngInfo = LoadPng("PNG_INFO");
    p->pngLookup = LoadPng("PNG_LOOKUP");
    p->pngPlus = LoadPng("PNG_PLUS");
    holder = std::move(p);
    // Freed when the application ends, like the library's unit finalisation.
    if (QCoreApplication::instance())
        qAddPostRoutine(FreePictures);
    return *holder;
}

void DrawShelfExt(TCanvas& Canvas, const TRect& Rect, bool Focused, bool Enabled, bool Marked)
{
    const int L = Rect.Left;
    const int T = Rect.Top;
    const int R = Rect.Right;
    const int B = Rect.Bottom;
    Canvas.Brush().Style = bsSolid;
    Canvas.Pen().Style = psSolid;
    Canvas.Pen().Width = 1;

    TColor outerA = 0xC9C9C9;
    TColor outerB = 0xD5D5D5;
    if (Focused) {
        outerA = 0xC65920;
        outerB = 0xC65920;
    } else if (Enabled) {
        outerA = 0x9A9A9A;
        outerB = 0xB8B8B8;
    }
    Canvas.Pen().Color = outerA;
    Canvas.MoveTo(L, T);
    Canvas.LineTo(R, T);
    Canvas.Pen().Color = outerB;
    Canvas.MoveTo(L, B - 1);
    Canvas.LineTo(R, B - 1);
    DoGradientFill(Canvas, {L, T, L + 1, B}, outerA, outerB, gdVert);
    DoGradientFill(Canvas, {R - 1, T, R, B}, outerA, outerB, gdVert);

    TColor innerA = 0xE7E7E7;
    TColor innerB = 0xF2F2F2;
    if (Focused) {
        innerA = 0xF29959;
        innerB = 0xF29959;
    } else if (Enabled) {
        innerA = 0xE3E3E3;
        innerB = 0xF2F2F2;
    }
    Canvas.Pen().Color = innerA;
    Canvas.MoveTo(L + 1, T + 1);
    Canvas.LineTo(R - 1, T + 1);
    DoGradientFill(Canvas, {L + 1, T + 1, L + 2, B - 1}, innerA, innerB, gdVert);
    DoGradientFill(Canvas, {R - 2, T + 1, R - 1, B - 1}, innerA, innerB, gdVert);
    // The pen still has the inner start colour.
    Canvas.MoveTo(L + 1, B - 2);
    Canvas.LineTo(R - 1, B - 2);

    Canvas.Brush().Color = Marked ? clovnMarked : (Focused ? clWindow : clovnIdle);
    Canvas.FillRect({L + 2, T + 2, R - 2, B - 2});
}

void DrawShelf(TCanvas& Canvas, const TRect& Rect, bool Focused)
{
    Canvas.Pen().Style = psSolid;
    Canvas.Pen().Width = 1;
    Canvas.Pen().Color = clBtnShadow;
    Canvas.Brush().Style = bsSolid;
    Canvas.Brush().Color = Focused ? clWindow : clovnIdle;
    Canvas.Rectangle(Rect);
    if (Focused) {
        Canvas.Brush().Color = 0xFF0000;
        Canvas.FrameRect({Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1});
    }
}
