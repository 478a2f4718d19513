#include "Components/Controller/web/MyWebBrowser.h"

#include "Components/Nembra/NembraTransport.h"
#include "platform/Threads.h"
#include "platform/Variants.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QScrollBar>
#include <QTextDocument>

#include <atomic>
#include <cmath>
#include <thread>

// One fetch of a page or a picture on a thread of its own.
struct TMyWebBrowser::TFetch
{
    TNembraTransport Transport;
    std::thread Thread;
    std::atomic<bool> Done{false};
};

namespace {

bool IsWebUrl(const QUrl& url) { return url.scheme() == "http" || url.scheme() == "https"; }

// An empty resource of the kind asked for. The document reads a local file,
// a Qt resource or a data: address itself when the view answers nothing
// (a null variant), so a refusal must be a value.
QVariant Refused(int type)
{
    switch (type)
    {
    case QTextDocument::ImageResource: return QVariant(QImage());
    case QTextDocument::StyleSheetResource: return QVariant(QString());
    default: return QVariant(QByteArray());
    }
}

// Literal arguments of a page call: texts in quotes, numbers, true, false,
// null, undefined.
bool ParseLiteral(const std::string& s, size_t& i, Variant& value)
{
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (i >= s.size())
        return false;
    const char c = s[i];
    if (c == '\'' || c == '"')
    {
        std::string text;
        for (++i; i < s.size() && s[i] != c; ++i)
        {
            if (s[i] == '\\' && i + 1 < s.size())
            {
                const char e = s[++i];
                text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            }
            else
                text += s[i];
        }
        if (i >= s.size())
            return false;
        ++i;
        value = Variant(text);
        return true;
    }
    size_t j = i;
    while (j < s.size() && s[j] != ',' && s[j] != ')' && !std::isspace(static_cast<unsigned char>(s[j])))
        ++j;
    const std::string word = s.substr(i, j - i);
    i = j;
    if (word == "true" || word == "false")
        value = Variant(word == "true");
    else if (word == "null")
        value = Variant::Null();
    else if (word == "undefined")
        value = Variant();
    else
    {
        char* end = nullptr;
        const double d = std::strtod(word.c_str(), &end);
        if (word.empty() || end != word.c_str() + word.size() || !std::isfinite(d))
            return false;
        if (d == std::floor(d) && std::fabs(d) < 2147483648.0)
            value = Variant(static_cast<int>(d));
        else
            value = Variant(d);
    }
    return true;
}

// "window.external.Name(a, b);" into Name and [a, b].
bool ParsePageCall(std::string s, std::string& name, std::vector<Variant>& args)
{
    s = Trim(s);
    while (!s.empty() && s.back() == ';')
        s = Trim(s.substr(0, s.size() - 1));
    const std::string prefix = "window.external.";
    if (s.compare(0, prefix.size(), prefix) != 0)
        return false;
    size_t i = prefix.size();
    const size_t open = s.find('(', i);
    if (open == std::string::npos || s.back() != ')')
        return false;
    name = Trim(s.substr(i, open - i));
    if (name.empty())
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$')
            return false;
    i = open + 1;
    const size_t close = s.size() - 1;
    while (i < close && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (i == close)
        return true;
    for (;;)
    {
        Variant v;
        if (!ParseLiteral(s, i, v))
            return false;
        args.push_back(v);
        while (i < close && std::isspace(static_cast<unsigned char>(s[i])))
            ++i;
        if (i == close)
            return true;
        if (s[i] != ',')
            return false;
        ++i;
    }
}

std::string ExpandPrintCodes(const std::string& text, const std::string& title, const std::string& url, int page,
                             int pages)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '&' || i + 1 >= text.size())
        {
            out += text[i];
            continue;
        }
        const char code = text[++i];
        switch (code)
        {
        case 'w': out += title; break;
        case 'u': out += url; break;
        case 'p': out += std::to_string(page); break;
        case 'P': out += std::to_string(pages); break;
        case '&': out += '&'; break;
        default: out += '&'; out += code;
        }
    }
    return out;
}

} // namespace

TMyWebBrowser::TMyWebBrowser(QWidget* parent)
    : QTextBrowser(parent), m_alive(std::make_shared<TMyWebBrowser*>(this))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    SetBorder3DEnabled(false);
    SetScrollEnabled(false);
    QObject::connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) { ClickLink(url); });
    if (parent != nullptr)
    {
        parent->installEventFilter(this);
        setGeometry(parent->rect());
    }
}

bool TMyWebBrowser::event(QEvent* event)
{
    if (event->type() == QEvent::ParentAboutToChange && parentWidget() != nullptr)
        parentWidget()->removeEventFilter(this);
    else if (event->type() == QEvent::ParentChange && parentWidget() != nullptr)
    {
        parentWidget()->installEventFilter(this);
        setGeometry(parentWidget()->rect());
    }
    return QTextBrowser::event(event);
}

bool TMyWebBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QTextBrowser::eventFilter(watched, event);
}

TMyWebBrowser::~TMyWebBrowser()
{
    *m_alive = nullptr;
    for (auto& f : m_fetches)
        f->Transport.Abort();
    for (auto& f : m_fetches)
        if (f->Thread.joinable())
            f->Thread.join();
}

void TMyWebBrowser::SetBorder3DEnabled(bool Value)
{
    m_border3DEnabled = Value;
    setFrameShape(Value ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TMyWebBrowser::SetScrollEnabled(bool Value)
{
    m_scrollEnabled = Value;
    const auto policy = Value ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setVerticalScrollBarPolicy(policy);
    setHorizontalScrollBarPolicy(policy);
}

HRESULT TMyWebBrowser::GetHostInfo(uint32_t& Size, uint32_t& Flags) const
{
    Size = 20;
    Flags |= DOCHOSTUIFLAG_THEME;
    if (!m_border3DEnabled)
        Flags |= DOCHOSTUIFLAG_NO3DBORDER;
    if (!m_scrollEnabled)
        Flags |= DOCHOSTUIFLAG_SCROLL_NO;
    return S_OK;
}

HRESULT TMyWebBrowser::TranslateAccelerator(bool IsCharMessage, bool CtrlDown) const
{
    return (m_acceleratorsEnabled || IsCharMessage || !CtrlDown) ? S_FALSE : S_OK;
}

void TMyWebBrowser::contextMenuEvent(QContextMenuEvent* event)
{
    if (ShowContextMenu() == S_FALSE)
        QTextBrowser::contextMenuEvent(event);
    else
        event->accept();
}

void TMyWebBrowser::keyPressEvent(QKeyEvent* event)
{
    // Typed characters are the page's; Ctrl combinations only when allowed.
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    if (TranslateAccelerator(false, ctrl) == S_OK)
    {
        event->accept();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

bool TMyWebBrowser::RunPageCall(const std::string& Script, Variant* Result)
{
    std::string name;
    std::vector<Variant> args;
    if (!ParsePageCall(Script, name, args))
        return false;
    std::vector<DISPID> ids;
    if (m_bindings.GetIDsOfNames({name}, ids) != S_OK)
        return false;
    // The dispatch convention holds the last argument first.
    const std::vector<Variant> params(args.rbegin(), args.rend());
    Variant answer;
    m_bindings.Invoke(ids[0], DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, &answer);
    if (Result != nullptr)
        *Result = std::move(answer);
    return true;
}

Variant TMyWebBrowser::InvokeScript(const std::string& Name, const std::vector<Variant>& Args)
{
    if (!m_hasDocument)
        throw EVariantInvalidOpError("Invalid variant operation");
    // The light view runs no page script: no name is known.
    throw Exception("Unknown script name in WebBrowser.InvokeScript");
}

void TMyWebBrowser::ClickLink(const QUrl& Url)
{
    m_eventHref = Url.toString().toStdString();
    m_eventReturnValue = true;
    const std::shared_ptr<TEventObject> handler = m_onClick; // the handler may replace it
    const std::shared_ptr<TMyWebBrowser*> alive = m_alive;
    if (handler)
        handler->Invoke(DISPID_VALUE);
    if (*alive == nullptr)
        return;
    const bool follow = m_eventReturnValue;
    m_eventHref.clear();
    if (!follow)
        return;
    if (Url.scheme() == "javascript")
    {
        RunPageCall(Url.path(QUrl::FullyDecoded).toStdString());
        return;
    }
    const QUrl target = QUrl(QString::fromStdString(m_location)).resolved(Url);
    if (m_fromWeb && !IsWebUrl(target))
        return; // a page of the web opens no local file in the view
    Navigate(target.toString().toStdString());
}

void TMyWebBrowser::Navigate(const std::string& Url) { GoTo(Url, true); }

void TMyWebBrowser::GoBack()
{
    if (m_historyIndex > 0)
        GoTo(m_history[static_cast<size_t>(--m_historyIndex)], false);
}

void TMyWebBrowser::GoForward()
{
    if (m_historyIndex + 1 < static_cast<int>(m_history.size()))
        GoTo(m_history[static_cast<size_t>(++m_historyIndex)], false);
}

void TMyWebBrowser::Stop()
{
    ++m_navigation; // whatever is under way completes nothing any more
    for (auto& f : m_fetches)
        f->Transport.Abort();
    if (m_readyState == READYSTATE_LOADING)
        m_readyState = READYSTATE_COMPLETE;
}

void TMyWebBrowser::GoTo(const std::string& Url, bool AddToHistory)
{
    if (AddToHistory)
    {
        m_history.resize(static_cast<size_t>(m_historyIndex + 1));
        m_history.push_back(Url);
        m_historyIndex = static_cast<int>(m_history.size()) - 1;
    }
    const unsigned navigation = ++m_navigation;
    m_readyState = READYSTATE_LOADING;
    const QUrl url(QString::fromStdString(Url));
    if (IsWebUrl(url))
    {
        // The address goes out as given: a parsed address would lose the
        // encoding of characters that need none (the ad request's digits).
        StartFetch(Url, url.toString(), true, navigation);
        return;
    }
    std::string body;
    bool ok = true;
    if (url.isLocalFile())
    {
        QFile file(url.toLocalFile());
        ok = file.open(QIODevice::ReadOnly);
        if (ok)
            body = file.readAll().toStdString();
    }
    // about:blank and anything else the view cannot fetch: an empty page.
    const std::shared_ptr<TMyWebBrowser*> alive = m_alive;
    MainThread::Queue([alive, navigation, ok, body] {
        if (*alive != nullptr)
            (*alive)->PageArrived(navigation, ok, body);
    });
    m_location = Url;
}

void TMyWebBrowser::StartFetch(const std::string& Address, const QString& Key, bool IsPage, unsigned Navigation)
{
    JoinFinished();
    auto fetch = std::make_unique<TFetch>();
    TFetch* f = fetch.get();
    f->Transport.SetTimeout(m_timeoutMs);
    const std::string address = Address;
    const QString key = Key;
    const std::shared_ptr<TMyWebBrowser*> alive = m_alive;
    f->Thread = std::thread([f, address, key, IsPage, Navigation, alive] {
        bool ok = false;
        try
        {
            ok = f->Transport.HTTPMethod("GET", address) && f->Transport.ResultCode() < 400;
        }
        catch (...)
        {
            ok = false;
        }
        std::string body = ok ? std::string(f->Transport.Document().View()) : std::string();
        f->Done = true;
        MainThread::Queue([alive, key, IsPage, Navigation, ok, body = std::move(body)] {
            TMyWebBrowser* self = *alive;
            if (self == nullptr)
                return;
            if (IsPage)
                self->PageArrived(Navigation, ok, body);
            else
                self->PictureArrived(key, body);
        });
    });
    m_fetches.push_back(std::move(fetch));
    if (IsPage)
        m_location = Address;
}

void TMyWebBrowser::JoinFinished()
{
    for (auto it = m_fetches.begin(); it != m_fetches.end();)
        if ((*it)->Done)
        {
            (*it)->Thread.join();
            it = m_fetches.erase(it);
        }
        else
            ++it;
}

void TMyWebBrowser::PageArrived(unsigned Navigation, bool Ok, const std::string& Body)
{
    JoinFinished();
    if (Navigation != m_navigation)
        return; // a later navigation took over
    m_source = Ok ? Body : std::string();
    m_fromWeb = IsWebUrl(QUrl(QString::fromStdString(m_location)));
    m_hasDocument = true;
    Render();
    m_readyState = READYSTATE_COMPLETE;
    if (OnDocumentComplete)
        OnDocumentComplete(this);
}

void TMyWebBrowser::PictureArrived(const QString& Key, const std::string& Body)
{
    JoinFinished();
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(Body.data()), static_cast<int>(Body.size()));
    m_pictures[Key] = image;
    if (!image.isNull())
        Render();
}

QVariant TMyWebBrowser::loadResource(int type, const QUrl& name)
{
    if (name.isEmpty())
        return QVariant(); // a picture without a source is not the page itself
    const QUrl url = QUrl(QString::fromStdString(m_location)).resolved(name);
    if (m_fromWeb && !IsWebUrl(url))
        return Refused(type); // a page of the web reads no local file into itself
    if (type == QTextDocument::ImageResource && IsWebUrl(url))
    {
        const auto found = m_pictures.find(url.toString());
        if (found != m_pictures.end())
            return found->second.isNull() ? QVariant() : QVariant(found->second);
        m_pictures[url.toString()] = QImage(); // asked once
        StartFetch(url.toString(QUrl::FullyEncoded).toStdString(), url.toString(), false, 0);
        return QVariant();
    }
    if (IsWebUrl(url))
        return QVariant(); // style sheets of the web are not fetched
    return QTextBrowser::loadResource(type, url.isLocalFile() ? url : name);
}

void TMyWebBrowser::Render()
{
    const int scroll = verticalScrollBar()->value();
    setHtml(QString::fromStdString(m_source));
    verticalScrollBar()->setValue(scroll);
}

void TMyWebBrowser::SetSource(const std::string& Html)
{
    m_source = Html;
    Render();
}

void TMyWebBrowser::WriteHtml(const std::string& Html)
{
    if (!m_hasDocument)
        throw EVariantInvalidOpError("Invalid variant operation");
    m_source += Html;
    Render();
}

void TMyWebBrowser::LoadHtml(const std::string& Html)
{
    if (!m_hasDocument)
        throw EVariantInvalidOpError("Invalid variant operation");
    m_fromWeb = false; // a whole new document, written by the program
    SetSource(Html);
}

std::string TMyWebBrowser::PlainText() const { return toPlainText().toStdString(); }

void TMyWebBrowser::PrintDocument(QPagedPaintDevice& Device, const std::string& Header, const std::string& Footer)
{
    QPainter painter(&Device);
    PaintPages(painter, painter.viewport(), Header, Footer, [&] { Device.newPage(); });
}

int TMyWebBrowser::PaintPages(QPainter& Painter, const QRect& Page, const std::string& Header,
                              const std::string& Footer, const std::function<void()>& NewPage)
{
    std::unique_ptr<QTextDocument> doc(document()->clone());
    // Laid out for the device, so that a point is a point on paper.
    doc->documentLayout()->setPaintDevice(Painter.device());
    const int band = Painter.fontMetrics().height() * 2;
    const QRect body(0, band, Page.width(), std::max(1, Page.height() - 2 * band));
    doc->setPageSize(body.size());
    const int pages = std::max(1, static_cast<int>(std::ceil(doc->size().height() / body.height())));
    const std::string title = documentTitle().toStdString();
    for (int p = 0; p < pages; ++p)
    {
        if (p > 0)
            NewPage();
        Painter.save();
        Painter.translate(body.left(), body.top() - p * body.height());
        const QRectF clip(0, p * body.height(), body.width(), body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = clip;
        Painter.setClipRect(clip);
        doc->documentLayout()->draw(&Painter, context);
        Painter.restore();
        Painter.drawText(QRect(0, 0, Page.width(), band), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(ExpandPrintCodes(Header, title, m_location, p + 1, pages)));
        Painter.drawText(QRect(0, Page.height() - band, Page.width(), band), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(ExpandPrintCodes(Footer, title, m_location, p + 1, pages)));
    }
    return pages;
}
