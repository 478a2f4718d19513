#include "platform/DrawText.h"

#include "platform/Canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr unsigned EllipsisFlags = DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS;
const QString Ellipsis = QStringLiteral("...");

// A piece of the text with the position of its accelerator (-1: none).
struct TMarkedText
{
    QString Text;
    int Mnemonic = -1;
};

TMarkedText StripPrefixes(const QString& text, bool prefixes)
{
    if (!prefixes)
        return {text, -1};
    TMarkedText out;
    out.Text.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'&') {
            out.Text += c;
            continue;
        }
        if (i + 1 >= text.size())
            break; // a lone "&" at the end shows nothing
        const QChar next = text[++i];
        if (next != u'&' && out.Mnemonic < 0)
            out.Mnemonic = static_cast<int>(out.Text.size());
        out.Text += next;
    }
    return out;
}

// Removes the characters for which `drop` is true, keeping the accelerator
// on its character.
template <class Pred> TMarkedText Remove(const TMarkedText& in, Pred drop)
{
    TMarkedText out;
    for (qsizetype i = 0; i < in.Text.size(); ++i) {
        if (drop(in.Text[i]))
            continue;
        if (i == in.Mnemonic)
            out.Mnemonic = static_cast<int>(out.Text.size());
        out.Text += in.Text[i];
    }
    return out;
}

TMarkedText Slice(const TMarkedText& in, qsizetype start, qsizetype end)
{
    TMarkedText out{in.Text.mid(start, end - start), -1};
    if (in.Mnemonic >= start && in.Mnemonic < end)
        out.Mnemonic = static_cast<int>(in.Mnemonic - start);
    return out;
}

// The paragraphs between line breaks; a break at the very end starts no
// further line.
std::vector<TMarkedText> SplitParagraphs(const TMarkedText& in)
{
    std::vector<TMarkedText> out;
    qsizetype start = 0;
    const qsizetype n = in.Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in.Text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        out.push_back(Slice(in, start, i));
        if (c == u'\r' && i + 1 < n && in.Text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n || out.empty())
        out.push_back(Slice(in, start, n));
    return out;
}

class TLineBuilder
{
  public:
    TLineBuilder(const ITextMeasure& measure, unsigned flags) : m_measure(measure), m_flags(flags) {}

    // The runs of one line, tabs expanded or dropped; answers the width.
    int Runs(const QString& text, std::vector<TDrawTextRun>* runs) const
    {
        const int tabWidth = 8 * m_measure.AveCharWidth();
        int x = 0;
        qsizetype start = 0;
        for (;;) {
            const qsizetype tab = text.indexOf(u'\t', start);
            const QString piece = text.mid(start, tab < 0 ? -1 : tab - start);
            if (runs)
                runs->push_back({piece, x});
            x += piece.isEmpty() ? 0 : m_measure.TextWidth(piece);
            if (tab < 0)
                return x;
            if ((m_flags & DT_EXPANDTABS) && tabWidth > 0)
                x = (x / tabWidth + 1) * tabWidth;
            start = tab + 1;
        }
    }
    int Width(const QString& text) const { return Runs(text, nullptr); }

    // Breaks a paragraph between words so that each line fits `width`.
    std::vector<TMarkedText> Wrap(const TMarkedText& para, int width) const
    {
        std::vector<TMarkedText> lines;
        const QString& t = para.Text;
        const qsizetype n = t.size();
        qsizetype lineStart = 0;
        qsizetype lineEnd = 0; // end of the last word taken
        qsizetype i = 0;
        while (i < n) {
            qsizetype wordStart = i;
            while (wordStart < n && t[wordStart] == u' ')
                ++wordStart;
            if (wordStart >= n)
                break;
            qsizetype wordEnd = wordStart;
            while (wordEnd < n && t[wordEnd] != u' ')
                ++wordEnd;
            if (lineEnd > lineStart && Width(t.mid(lineStart, wordEnd - lineStart)) > width) {
                lines.push_back(Slice(para, lineStart, lineEnd));
                lineStart = wordStart;
            }
            lineEnd = wordEnd;
            i = wordEnd;
        }
        if (lineEnd > lineStart || lines.empty())
            lines.push_back(Slice(para, lineStart, std::max(lineEnd, lineStart)));
        return lines;
    }

    TMarkedText Elide(const TMarkedText& line, int width) const
    {
        if (Width(line.Text) <= width)
            return line;
        QString cut = line.Text;
        while (!cut.isEmpty() && Width(cut + Ellipsis) > width)
            cut.chop(1);
        TMarkedText out{cut + Ellipsis, line.Mnemonic < cut.size() ? line.Mnemonic : -1};
        return out;
    }

  private:
    const ITextMeasure& m_measure;
    unsigned m_flags;
};

class TFontMeasure : public ITextMeasure
{
  public:
    explicit TFontMeasure(const QFont& font) : m_metrics(font) {}
    int TextWidth(const QString& text) const override { return m_metrics.horizontalAdvance(text); }
    int LineHeight() const override { return m_metrics.ascent() + m_metrics.descent(); }
    int ExternalLeading() const override { return std::max(0, m_metrics.leading()); }
    int AveCharWidth() const override { return m_metrics.averageCharWidth(); }
    const QFontMetrics& Metrics() const { return m_metrics; }

  private:
    QFontMetrics m_metrics;
};

} // namespace

TDrawTextLayout LayoutDrawText(const ITextMeasure& measure, const QString& text, const TRect& rect,
                               unsigned flags)
{
    TDrawTextLayout layout;
    const bool singleLine = (flags & DT_SINGLELINE) != 0;
    const int lh = measure.LineHeight() + ((flags & DT_EXTERNALLEADING) ? measure.ExternalLeading() : 0);
    layout.LineHeight = lh;
    if (text.isEmpty()) {
        const int h = singleLine ? lh : 0;
        layout.CalcRect = {rect.Left, rect.Top, rect.Left, rect.Top + h};
        layout.Height = h;
        return layout;
    }

    const TLineBuilder builder(measure, flags);
    const TMarkedText marked = StripPrefixes(text, (flags & DT_NOPREFIX) == 0);
    std::vector<TMarkedText> lines;
    if (singleLine) {
        lines.push_back(Remove(marked, [](QChar c) { return c == u'\r' || c == u'\n'; }));
    } else {
        for (const TMarkedText& para : SplitParagraphs(marked)) {
            if (flags & DT_WORDBREAK) {
                for (TMarkedText& l : builder.Wrap(para, rect.Width()))
                    lines.push_back(std::move(l));
            } else {
                lines.push_back(para);
            }
        }
    }

    const int width = rect.Width();
    int maxWidth = 0;
    int y = rect.Top;
    if (singleLine) {
        if (flags & DT_VCENTER)
            y = rect.Top + (rect.Height() - lh) / 2;
        else if (flags & DT_BOTTOM)
            y = rect.Bottom - lh;
    }
    for (TMarkedText& l : lines) {
        if (flags & EllipsisFlags)
            l = builder.Elide(l, width);
        TDrawTextLine line;
        line.Width = builder.Runs(l.Text, &line.Runs);
        if (l.Mnemonic >= 0) {
            // Find the run holding the accelerator: runs are the tab-separated pieces.
            int pos = l.Mnemonic;
            for (size_t r = 0; r < line.Runs.size(); ++r) {
                const int len = static_cast<int>(line.Runs[r].Text.size());
                if (pos < len) {
                    line.MnemonicRun = static_cast<int>(r);
                    line.MnemonicPos = pos;
                    break;
                }
                pos -= len + 1; // the tab between runs
            }
        }
        int x = rect.Left;
        if (flags & DT_CENTER)
            x = rect.Left + (width - line.Width) / 2;
        else if (flags & DT_RIGHT)
            x = rect.Right - line.Width;
        for (TDrawTextRun& run : line.Runs)
            run.X += x;
        line.Y = y;
        if (x < rect.Left || x + line.Width > rect.Right || y < rect.Top || y + lh > rect.Bottom)
            layout.Overflows = true;
        maxWidth = std::max(maxWidth, line.Width);
        layout.Lines.push_back(std::move(line));
        y += lh;
    }
    const int total = lh * static_cast<int>(layout.Lines.size());
    layout.CalcRect = {rect.Left, rect.Top, rect.Left + maxWidth, rect.Top + total};
    layout.Height = layout.Lines.back().Y + lh - rect.Top;
    return layout;
}

int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, unsigned flags)
{
    const TFontMeasure measure(canvas.Font().Handle());
    const TDrawTextLayout layout = LayoutDrawText(measure, QString::fromStdString(text), rect, flags);
    if (flags & DT_CALCRECT) {
        rect = layout.CalcRect;
        return layout.CalcRect.Height();
    }
    QPainter* p = canvas.TextPainter();
    if (!p || layout.Lines.empty())
        return layout.Height;
    const bool clip = layout.Overflows && !(flags & DT_NOCLIP);
    if (clip) {
        p->save();
        p->setClipRect(ToQRect(rect), Qt::IntersectClip);
    }
    const QFontMetrics& fm = measure.Metrics();
    const int ascent = fm.ascent();
    for (const TDrawTextLine& line : layout.Lines) {
        for (const TDrawTextRun& run : line.Runs)
            if (!run.Text.isEmpty())
                p->drawText(QPoint(run.X, line.Y + ascent), run.Text);
        if (line.MnemonicRun >= 0) {
            const TDrawTextRun& run = line.Runs[line.MnemonicRun];
            const int x = run.X + fm.horizontalAdvance(run.Text.left(line.MnemonicPos));
            const int w = fm.horizontalAdvance(run.Text.mid(line.MnemonicPos, 1));
            p->fillRect(QRect(x, line.Y + ascent + std::max(1, fm.underlinePos()), w, 1), p->pen().color());
        }
    }
    if (clip)
        p->restore();
    return layout.Height;
}
