// The browser controller interface over the light view: ownership and the
// container, the page bridge's bindings, script names, attributes of the
// kept source, printing with a header and footer.

#include "Components/Controller/web/BrowserBindings.h"
#include "Components/Controller/web/HtmlElements.h"
#include "Components/Controller/web/ovnMyWebBrowserController.h"
#include "Controller/LoopbackServer.h"
#include "platform/ClassErrors.h"
#include "support/EventLoopWait.h"
#include "support/GuiProbe.h"
#include "support/TempFolder.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string ErrorText(const std::function<void()>& fn)
{
    try
    {
        fn();
    }
    catch (const Exception& e)
    {
        return e.ClassName() + ": " + e.Message();
    }
    return "no error";
}

// A page loaded into a controller through the event loop.
void ShowPage(TovnWebViewController& c, const std::string& html)
{
    bool done = false;
    c.OnNavigationComplete = [&](TovnWebViewController*, bool ok) { done = ok; };
    c.Navigate("about:blank");
    ASSERT_TRUE(RunEventsUntil([&] { return done; }));
    c.ShowHtml(html);
}

TEST(WebViewControllerTest, OwnershipFollowsTheForm)
{
    auto form = std::make_unique<QWidget>();
    auto* panel = new QWidget(form.get());
    auto* inner = new QWidget(panel);
    EXPECT_EQ(TovnWebViewController::GetControlOwner(nullptr), nullptr);
    EXPECT_EQ(TovnWebViewController::GetControlOwner(form.get()), form.get());
    EXPECT_EQ(TovnWebViewController::GetControlOwner(panel), form.get());
    EXPECT_EQ(TovnWebViewController::GetControlOwner(inner), form.get());

    QPointer<TovnWebViewController> onPanel = DefaultWebViewControllerClass->Create(panel);
    EXPECT_EQ(onPanel->parent(), form.get());
    EXPECT_EQ(onPanel->ContainerView(), panel);

    // The panel goes first: the container becomes null, the controller stays.
    delete panel;
    ASSERT_FALSE(onPanel.isNull());
    EXPECT_EQ(onPanel->ContainerView(), nullptr);
    // The form deletes what it owns.
    form.reset();
    EXPECT_TRUE(onPanel.isNull());

    // No owner: no container, the caller owns it.
    std::unique_ptr<TovnWebViewController> free(DefaultWebViewControllerClass->Create(nullptr));
    EXPECT_EQ(free->ContainerView(), nullptr);
    EXPECT_EQ(free->parent(), nullptr);

    // An owner that is no widget is an invalid cast.
    QObject notAWidget;
    EXPECT_EQ(ErrorText([&] { delete DefaultWebViewControllerClass->Create(&notAWidget); }),
              "EInvalidCast: Invalid class typecast");
}

TEST(WebViewControllerTest, MovingKeepsVisibility)
{
    QWidget form;
    auto* a = new QWidget(&form);
    auto* b = new QWidget(&form);
    form.resize(300, 200);
    b->resize(120, 80);
    form.show();
    std::unique_ptr<TovnMyWebBrowserController> c(new TovnMyWebBrowserController(a));
    EXPECT_TRUE(c->GetVisible());
    c->SetContainerView(b);
    EXPECT_TRUE(c->GetVisible());
    EXPECT_EQ(c->Browser()->parentWidget(), b);
    EXPECT_EQ(c->Browser()->size(), b->size()); // it fills the container
    EXPECT_TRUE(c->Browser()->isVisible());
    c->SetVisible(false);
    c->SetContainerView(a);
    EXPECT_FALSE(c->GetVisible());
    EXPECT_FALSE(c->Browser()->isVisible());
    b->resize(10, 10);
    c->SetContainerView(b);
    EXPECT_EQ(c->Browser()->size(), QSize(10, 10));
}

TEST(WebViewControllerTest, TheBaseLeavesOperationsToBackEnds)
{
    struct Bare : TovnWebViewController
    {
        Bare() : TovnWebViewController(nullptr) {}
    } bare;
    EXPECT_FALSE(bare.GetContextMenuEnabled());
    EXPECT_TRUE(bare.GetVisible());
    EXPECT_EQ(ErrorText([&] { bare.Navigate("about:blank"); }), "EAbstractError: Abstract Error");
    EXPECT_EQ(ErrorText([&] { bare.GetAttrValue("a", "b"); }), "EAbstractError: Abstract Error");
}

TEST(BrowserBindingsTest, DispIdsCaseAndOrder)
{
    TBrowserBindings b;
    std::vector<std::vector<Variant>> calls;
    const auto record = [&](const char* tag) {
        return [&calls, tag](const std::vector<Variant>& p) {
            calls.push_back(p);
            calls.back().push_back(Variant(tag));
            return Variant();
        };
    };
    EXPECT_EQ(b.Bind("Save", record("save")), 10001);
    EXPECT_EQ(b.Bind("Load", record("load")), 10002);
    EXPECT_EQ(b.Bind("Third", record("third")), 10003);
    EXPECT_EQ(b.Bind("SAVE", record("again")), 10001); // the first handler stays

    std::vector<DISPID> ids;
    EXPECT_EQ(b.GetIDsOfNames({"save", "nope", "THIRD"}, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids, (std::vector<DISPID>{10001, DISPID_UNKNOWN, 10003}));

    // Unbind: the others keep their own handlers, a new one a new DISPID.
    b.Unbind("load");
    EXPECT_EQ(b.Bind("Fourth", record("fourth")), 10004);
    EXPECT_EQ(b.GetIDsOfNames({"load"}, ids), DISP_E_UNKNOWNNAME);
    Variant result;
    EXPECT_EQ(b.Invoke(10003, DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_EQ(b.Invoke(10004, DISPATCH_METHOD, {}, nullptr), S_OK);
    EXPECT_EQ(b.Invoke(10002, DISPATCH_METHOD, {}, nullptr), DISP_E_UNKNOWNNAME);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].back().AsString(), "third");
    EXPECT_EQ(calls[1].back().AsString(), "fourth");
}

TEST(BrowserBindingsTest, OneRunPerCallAndItsResult)
{
    TBrowserBindings b;
    int runs = 0;
    Variant answer;
    b.Bind("Get", [&](const std::vector<Variant>&) {
        ++runs;
        return answer;
    });
    Variant result = Variant("old");
    // A method call that reads its result runs once, even when it is empty.
    EXPECT_EQ(b.Invoke(10001, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(result.IsEmpty());
    answer = Variant(42);
    EXPECT_EQ(b.Invoke(10001, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(result.AsInteger(), 42);
    EXPECT_EQ(b.Invoke(10001, DISPATCH_PROPERTYGET, {}, nullptr), DISP_E_EXCEPTION);
    EXPECT_EQ(b.Invoke(10001, DISPATCH_PROPERTYPUT, {}, nullptr), E_NOTIMPL);
    EXPECT_EQ(runs, 2);
}

TEST(MyWebBrowserTest, PageCallsReachHandlersLastArgumentFirst)
{
    TovnMyWebBrowserController c(nullptr);
    std::vector<std::vector<Variant>> calls;
    c.Bind("Save", [&](const std::vector<Variant>& p) {
        calls.push_back(p);
        return Variant("done");
    });
    ShowPage(c, "<a id='l' href=\"javascript:window.external.save('a', 2)\">go</a>");
    c.Browser()->ClickLink(QUrl("javascript:window.external.save('a', 2)"));
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_EQ(calls[0].size(), 2u);
    EXPECT_EQ(calls[0][0].AsInteger(), 2);
    EXPECT_EQ(calls[0][1].AsString(), "a");

    Variant result;
    EXPECT_TRUE(c.Browser()->RunPageCall("window.external.SAVE(\"x\\\"y\", true, null);", &result));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(result.AsString(), "done");
    EXPECT_TRUE(calls[1][0].IsNull());
    EXPECT_TRUE(calls[1][1].AsBoolean());
    EXPECT_EQ(calls[1][2].AsString(), "x\"y");
    // Not a literal call, or an unknown name: nothing runs.
    EXPECT_FALSE(c.Browser()->RunPageCall("window.external.Save(a)"));
    EXPECT_FALSE(c.Browser()->RunPageCall("window.external.Other()"));
    EXPECT_FALSE(c.Browser()->RunPageCall("alert('x')"));
    EXPECT_EQ(calls.size(), 2u);
}

TEST(MyWebBrowserTest, HostAnswers)
{
    TMyWebBrowser b;
    uint32_t size = 0, flags = 0x1;
    EXPECT_EQ(b.GetHostInfo(size, flags), S_OK);
    EXPECT_EQ(size, 20u);
    EXPECT_EQ(flags, 0x1u | 0x40000u | 0x4u | 0x8u);
    b.SetBorder3DEnabled(true);
    b.SetScrollEnabled(true);
    flags = 0;
    b.GetHostInfo(size, flags);
    EXPECT_EQ(flags, 0x40000u);
    EXPECT_EQ(b.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    EXPECT_EQ(b.ShowContextMenu(), S_OK); // no menu
    b.SetContextMenuEnabled(true);
    EXPECT_EQ(b.ShowContextMenu(), S_FALSE);

    // Ctrl combinations are swallowed unless allowed; characters never are.
    EXPECT_EQ(b.TranslateAccelerator(false, true), S_OK);
    EXPECT_EQ(b.TranslateAccelerator(true, true), S_FALSE);
    EXPECT_EQ(b.TranslateAccelerator(false, false), S_FALSE);
    b.SetAcceleratorsEnabled(true);
    EXPECT_EQ(b.TranslateAccelerator(false, true), S_FALSE);
}

TEST(MyWebBrowserControllerTest, ScriptNames)
{
    TovnMyWebBrowserController c(nullptr);
    EXPECT_EQ(ErrorText([&] { c.InvokeScript("   ", {}); }), "Exception: Script name is not specified");
    // Before a document: the variant error.
    EXPECT_EQ(ErrorText([&] { c.InvokeScript("run", {}); }), "EVariantInvalidOpError: Invalid variant operation");
    ShowPage(c, "<p>text</p>");
    for (const char* name : {"run", "run()", " run() ", "()", "run()()"})
        EXPECT_EQ(ErrorText([&] { c.InvokeScript(name, {Variant(1)}); }),
                  "Exception: Unknown script name in WebBrowser.InvokeScript")
            << name;
    EXPECT_EQ(TovnMyWebBrowserController::GetBrowserVersion(), "Internet Explorer ");
}

TEST(MyWebBrowserControllerTest, AttributesOfTheKeptSource)
{
    TovnMyWebBrowserController c(nullptr);
    EXPECT_EQ(ErrorText([&] { c.GetAttrValue("ad", "key-data"); }),
              "EVariantInvalidOpError: Invalid variant operation");
    ShowPage(c, "<!-- <div id=\"ad\" key-data=\"comment\"> -->"
                "<div ID='ad' Key-Data=\"K&amp;1\" data-x=plain>ad</div><span id=\"s\">s</span>");
    EXPECT_EQ(c.GetAttrValue("ad", "key-data"), "K&1");
    EXPECT_EQ(c.GetAttrValue("ad", "data-x"), "plain");
    EXPECT_EQ(c.GetAttrValue("ad", "missing"), "");
    EXPECT_EQ(ErrorText([&] { c.GetAttrValue("nothing", "x"); }),
              "EVariantInvalidOpError: Invalid variant operation");

    c.SetAttrValue("ad", "key-data", Variant("a\"b<c"));
    EXPECT_EQ(c.GetAttrValue("ad", "key-data"), "a\"b<c");
    c.SetAttrValue("s", "title", Variant(true));
    EXPECT_EQ(c.GetAttrValue("s", "title"), "True");
    c.SetAttrValue("nothing", "x", Variant("y")); // does nothing
    EXPECT_NE(c.GetPageSource().find("<span title=\"True\" id=\"s\">"), std::string::npos) << c.GetPageSource();
    // The view shows the source again.
    EXPECT_NE(c.Browser()->PlainText().find("ad"), std::string::npos);
}

TEST(MyWebBrowserControllerTest, PrintsHeaderAndFooterOnEveryPage)
{
    TovnMyWebBrowserController c(nullptr);
    std::string body;
    for (int i = 0; i < 120; ++i)
        body += "<p>line " + std::to_string(i) + "</p>";
    ShowPage(c, body);

    TTempFolder dir;
    const std::string pdf = dir.Path() + "page.pdf";
    QPrinter& printer = c.Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    c.Print("Header &p of &P", "Footer text", false);
    QFile file(QString::fromStdString(pdf));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page "), 2); // more than one page
    // Nothing of the header stays in the printer's set-up.
    EXPECT_EQ(printer.docName(), QString());

    // Drawn on the page: ink in the top and bottom bands only when given.
    const auto ink = [&](const std::string& header, const std::string& footer) {
        QImage page(400, 4000, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        int newPages = 0;
        const int pages = c.Browser()->PaintPages(painter, page.rect(), header, footer, [&] { ++newPages; });
        painter.end();
        EXPECT_EQ(newPages, pages - 1);
        const auto rowsInk = [&](int from, int to) {
            int n = 0;
            for (int y = from; y < to; ++y)
                for (int x = 0; x < page.width(); ++x)
                    n += page.pixel(x, y) != qRgb(255, 255, 255);
            return n;
        };
        return std::make_pair(rowsInk(0, 20), rowsInk(page.height() - 20, page.height()));
    };
    const auto withBands = ink("Header", "Footer");
    const auto without = ink("", "");
    EXPECT_GT(withBands.first, 0);
    EXPECT_GT(withBands.second, 0);
    EXPECT_EQ(without.first, 0);
    EXPECT_EQ(without.second, 0);
}

TEST(MyWebBrowserTest, PagesAndPicturesComeOverHttpAndTheRawSourceStays)
{
    // A red picture on one peer, the page that shows it on another.
    QImage red(24, 24, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    red.save(&buffer, "PNG");
    LoopbackServer pictures({{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                              std::to_string(png.size()) + "\r\n\r\n" + png.toStdString()}},
                            LoopbackServer::Ending::Close);
    const std::string page = "<p id=\"p\" key-data=\"kept\">picture:</p><img src=\"http://" +
                             pictures.HostAndPort() + "/red.png\">";
    LoopbackServer pages({{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" +
                           page}},
                         LoopbackServer::Ending::Close);
    QWidget form;
    form.resize(200, 120);
    TovnMyWebBrowserController c(&form);
    form.show();
    int completions = 0;
    c.OnNavigationComplete = [&](TovnWebViewController*, bool ok) { completions += ok; };
    c.Navigate("http://" + pages.HostAndPort() + "/page.html");
    EXPECT_EQ(completions, 0); // never before the event loop runs
    ASSERT_TRUE(RunEventsUntil([&] { return completions == 1; }));
    EXPECT_EQ(pages.Request().rfind("GET /page.html HTTP/1.1\r\n", 0), 0u) << pages.Request();
    // The view drops the attribute it does not know; the kept source has it.
    EXPECT_EQ(c.GetPageSource(), page);
    EXPECT_EQ(c.GetAttrValue("p", "key-data"), "kept");
    EXPECT_TRUE(RunEventsUntil([&] { return Shows(*c.Browser(), qRgb(255, 0, 0)); })) << "the picture was not shown";
    EXPECT_EQ(pictures.Request().rfind("GET /red.png HTTP/1.1\r\n", 0), 0u) << pictures.Request();

    // A page that cannot be fetched still completes, with an empty document.
    c.Navigate("http://127.0.0.1:1/none.html");
    ASSERT_TRUE(RunEventsUntil([&] { return completions == 2; }));
    EXPECT_EQ(c.GetPageSource(), "");
}

// A PNG of one colour.
std::string Png(QRgb Colour)
{
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.toStdString();
}

TEST(MyWebBrowserTest, AServedPageReadsNoLocalFileWhileTheProgramsPagesDo)
{
    // (Not blue: the page's link is blue.)
    const QRgb red = qRgb(255, 0, 0), magenta = qRgb(255, 0, 255), green = qRgb(0, 255, 0);
    TTempFolder dir;
    WriteText(dir / "red.png", Png(red));
    WriteText(dir / "style.css", "p.local { background-color: #ff00ff; }");
    WriteText(dir / "secret.html", "<p>secret</p>");
    const std::string local = "file://" + dir.Path();
    // A picture of the web: once it shows, the page's pictures are in.
    const std::string greenPng = Png(green);
    LoopbackServer pictures({{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                              std::to_string(greenPng.size()) + "\r\n\r\n" + greenPng}},
                            LoopbackServer::Ending::Close);
    const std::string page = "<html><head><link rel=\"stylesheet\" type=\"text/css\" href=\"" + local +
                             "style.css\"></head><body><p class=\"local\">styled</p><img src=\"" + local +
                             "red.png\"><img src=\"data:image/png;base64," +
                             QByteArray::fromStdString(Png(red)).toBase64().toStdString() + "\"><img src=\"http://" +
                             pictures.HostAndPort() + "/green.png\"><a href=\"" + local +
                             "secret.html\">secret</a></body></html>";
    LoopbackServer pages({{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" +
                           page}},
                         LoopbackServer::Ending::Close);
    QWidget form;
    form.resize(400, 300);
    TovnMyWebBrowserController c(&form);
    form.show();
    int completions = 0;
    c.OnNavigationComplete = [&](TovnWebViewController*, bool ok) { completions += ok; };
    const std::string address = "http://" + pages.HostAndPort() + "/page.html";
    c.Navigate(address);
    ASSERT_TRUE(RunEventsUntil([&] { return completions == 1; }));
    ASSERT_TRUE(RunEventsUntil([&] { return Shows(*c.Browser(), green); })) << "the web's picture";
    EXPECT_FALSE(Shows(*c.Browser(), red)) << "a local or data: picture was loaded into a page of the web";
    EXPECT_FALSE(Shows(*c.Browser(), magenta)) << "a local style sheet was loaded into a page of the web";
    // Its link to a local file leads nowhere.
    c.Browser()->ClickLink(QUrl(QString::fromStdString(local + "secret.html")));
    EXPECT_EQ(c.Browser()->LocationURL(), address);
    EXPECT_EQ(c.GetPageSource(), page);

    // The same text written by the program into its blank page shows them.
    c.Navigate("about:blank");
    ASSERT_TRUE(RunEventsUntil([&] { return completions == 2; }));
    c.ShowHtml(page);
    EXPECT_TRUE(RunEventsUntil([&] { return Shows(*c.Browser(), red); })) << "the program's local picture";
    EXPECT_TRUE(Shows(*c.Browser(), magenta)) << "the program's local style sheet";
    EXPECT_TRUE(Shows(*c.Browser(), green));
}

TEST(MyWebBrowserTest, HistorySteps)
{
    TTempFolder dir;
    for (const char* name : {"a", "b"})
    {
        QFile file(QString::fromStdString(dir / (std::string(name) + ".html")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((std::string("<p>page ") + name + "</p>").c_str());
    }
    TovnMyWebBrowserController c(nullptr);
    int completions = 0;
    c.OnNavigationComplete = [&](TovnWebViewController*, bool) { ++completions; };
    const auto go = [&](const std::function<void()>& step) {
        const int before = completions;
        step();
        return RunEventsUntil([&] { return completions > before; });
    };
    ASSERT_TRUE(go([&] { c.Navigate("file://" + dir / "a.html"); }));
    ASSERT_TRUE(go([&] { c.Navigate("file://" + dir / "b.html"); }));
    EXPECT_EQ(c.GetPageSource(), "<p>page b</p>");
    ASSERT_TRUE(go([&] { c.GoBack(); }));
    EXPECT_EQ(c.GetPageSource(), "<p>page a</p>");
    ASSERT_TRUE(go([&] { c.GoForward(); }));
    EXPECT_EQ(c.GetPageSource(), "<p>page b</p>");
    // Past the ends nothing happens.
    c.GoForward();
    RunEventsFor(std::chrono::milliseconds(30));
    EXPECT_EQ(c.GetPageSource(), "<p>page b</p>");
}

TEST(HtmlElementsTest, ScriptAndStyleTextIsPassedOver)
{
    bool found = false;
    const std::string html = "<script>var s = '<b id=\"x\" a=\"no\">';</script><style>/* <i id=x> */</style>"
                             "<p id=x a=yes>";
    EXPECT_EQ(HtmlGetAttribute(html, "x", "a", found).value_or("?"), "yes");
    EXPECT_TRUE(found);
    std::string edited = html;
    EXPECT_TRUE(HtmlSetAttribute(edited, "x", "b", "1"));
    EXPECT_EQ(edited, html.substr(0, html.rfind("<p") + 2) + " b=\"1\" id=x a=yes>");
    // An unfinished "id=" at the end keeps its element.
    std::string open = "<b id=";
    EXPECT_FALSE(HtmlSetAttribute(open, "", "c", "1")); // no element has the empty id
    open = "<b title= id=x";
    EXPECT_FALSE(HtmlSetAttribute(open, "x", "c", "1")); // the value of title is "id=x"
    open = "<b id=x title=";
    EXPECT_TRUE(HtmlSetAttribute(open, "x", "c", "2"));
    EXPECT_EQ(HtmlGetAttribute(open, "x", "c", found).value_or("?"), "2");
    EXPECT_FALSE(HtmlSetAttribute(edited, "y", "b", "1"));
    EXPECT_EQ(HtmlDecodeEntities("&#65;&#x42;&lt;&bogus;&"), "AB<&bogus;&");
}

} // namespace
