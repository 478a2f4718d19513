#include "Components/Controller/applets/ovnBrowserUtils.h"

#include "Components/Controller/applets/KldForms.h"
#include "Components/Nembra/NembraFileCache.h"
#include "platform/DrawText.h"
#include "platform/FileUtils.h"
#include "platform/Resources.h"
#include "platform/StdCtrls.h"

#include <QAction>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// ---------------------------------------------------------------------------
// TCustomModuleForm

TCustomModuleForm::TCustomModuleForm(QWidget* Parent, TModuleItem* Item) : QWidget(Parent), m_moduleItem(Item)
{
}

TCustomModuleForm::~TCustomModuleForm()
{
    if (TModuleItem* item = m_moduleItem.Get(); item && item->Form() == this)
        item->ModuleClosed();
}

std::string TCustomModuleForm::GetModuleName() const
{
    const TModuleItem* item = ModuleItem();
    return item ? item->Name : windowTitle().toStdString();
}

int TCustomModuleForm::GetModuleCounter() const
{
    const TModuleItem* item = ModuleItem();
    return item ? item->Counter : -1;
}

// ---------------------------------------------------------------------------
// TModuleItem

bool TModuleItem::GetModified() const
{
    return Form() && Form()->GetModified();
}

void TModuleItem::SetActive(bool Value)
{
    if (TModuleItems* items = Items()) {
        if (Value)
            items->OpenModule(*this);
        else
            items->CloseModule(*this);
    }
}

QWidget* TModuleItem::GetBrowser() const
{
    const TModuleItems* items = Items();
    return items ? items->OwnerForm() : nullptr;
}

TModuleItems* TModuleItem::Items() const
{
    return static_cast<TModuleItems*>(Collection());
}

// ---------------------------------------------------------------------------
// TModuleItems

TModuleItems::TModuleItems(QWidget* OwnerForm)
    : TCollection(CollectionItemClass<TModuleItem>()), m_ownerForm(OwnerForm)
{
}

void TModuleItems::OpenModule(TModuleItem& Item)
{
    if (TCustomModuleForm* form = Item.Form()) {
        if (AppDesktop)
            if (auto* moduleForm = dynamic_cast<TModuleForm*>(form))
                AppDesktop->SetActive(moduleForm);
        return;
    }
    if (!Item.FormClass)
        return;
    TCustomModuleForm* form = Item.FormClass(nullptr, &Item);
    Item.SetForm(form);
    if (auto* moduleForm = dynamic_cast<TModuleForm*>(form))
        PostMessage(moduleForm->Handle(), WM_LOADMENU, 0, 0);
}

TModuleItems::~TModuleItems()
{
    // Open windows are closed as their entries go.
    Clear();
}

TModuleItem* TModuleItems::Add(const std::string& Name, int32_t Counter)
{
    auto* item = static_cast<TModuleItem*>(TCollection::Add());
    item->Name = Name;
    item->Counter = Counter;
    return item;
}

TModuleItem* TModuleItems::Find(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name, Name))
            return Items(i);
    return nullptr;
}

TModuleItem* TModuleItems::Find(int32_t Counter) const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Counter == Counter)
            return Items(i);
    return nullptr;
}

TModuleItem& TModuleItems::ModuleByName(const std::string& Name) const
{
    if (TModuleItem* item = Find(Name))
        return *item;
    throw Exception(Format("Module \"%s\" not found", Name));
}

TModuleItem& TModuleItems::ModuleByCounter(int32_t Counter) const
{
    if (TModuleItem* item = Find(Counter))
        return *item;
    throw Exception(Format("Module not found. Counter = \"%d\"", Counter));
}

void TModuleItems::CloseModule(TModuleItem& Item)
{
    TCustomModuleForm* form = Item.Form();
    if (!form)
        return;
    if (!form->CloseExecute())
        return;
    Item.ModuleClosed();
    if (TKldAppItem* row = Item.AppItem())
        row->SetState(isStarted, false);
}

void TModuleItems::Close(bool Forget)
{
    for (int i = 0; i < Count(); ++i) {
        TModuleItem* item = Items(i);
        if (Forget && item->Form())
            item->Form()->ResetModify();
        CloseModule(*item);
    }
}

TModuleItem* TModuleItems::Modified() const
{
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->GetModified())
            return Items(i);
    return nullptr;
}

int TModuleItems::ActiveCount() const
{
    int n = 0;
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->GetActive())
            ++n;
    return n;
}

void TModuleItems::ClearLayout()
{
    m_groups.Clear();
    m_moduleNames.Clear();
    for (int i = 0; i < Count(); ++i) {
        Items(i)->ModuleClosed();
        Items(i)->SetAppItem(nullptr);
    }
}

void TModuleItems::Notify(TCollectionItem* Item, TCollectionNotification Action)
{
    if (Action == cnDeleting)
        CloseModule(*static_cast<TModuleItem*>(Item));
}

// ---------------------------------------------------------------------------
// TIconManager

TIconManager::TIconManager(TCustomImageList* ImageList, TNembraFileCache* FileCache)
    : m_imageList(ImageList), m_fileCache(FileCache)
{
}

TIconManager::~TIconManager()
{
    if (TCustomImageList* images = m_imageList.Get())
        images->Clear();
}

int TIconManager::GetIconIndex(const std::string& IconName, int Default)
{
    if (IconName.empty())
        return Default;
    if (const int known = IndexOf(IconName); known >= 0)
        return known;
    TCustomImageList* images = m_imageList.Get();
    if (!images || !m_fileCache)
        return Default;
    try {
        const std::string fileName = m_fileCache->GetResourceFile(IconName);
        if (!FileExists(fileName))
            return Default;
        const std::string ext = UpperCase(ExtractFileExt(fileName));
        int added = -1;
        if (ext == ".BMP") {
            const QImage bitmap(QString::fromStdString(fileName), "BMP");
            if (!bitmap.isNull())
                added = images->AddMasked(bitmap, ColorFromQColor(bitmap.pixelColor(0, bitmap.height() - 1)));
        } else if (ext == ".PNG") {
            added = images->Add(QImage(QString::fromStdString(fileName), "PNG"));
        }
        if (added < 0)
            return Default;
        // A picture wider than the list is added as several pictures; empty
        // names stand for the ones before its last, so that a name's
        // position stays the index of its picture.
        while (Count() < images->Count() - 1)
            Add("");
        Add(IconName);
        return images->Count() - 1;
    } catch (const std::exception&) {
        return Default;
    }
}

void TIconManager::Clear()
{
    TStringList::Clear();
    if (TCustomImageList* images = m_imageList.Get())
        images->Clear();
}

// ---------------------------------------------------------------------------

QImage& MailBadgeImage()
{
    static QImage badge;
    return badge;
}

int32_t GetImageForKey(const std::string& Key)
{
    if (SameText(Key, "FACILITY") || SameText(Key, "DEFAULT_FACILITY"))
        return 9;
    if (SameText(Key, "RESIDENT"))
        return 10;
    if (SameText(Key, "CURRENT_PERIOD"))
        return 11;
    return -1;
}

// ---------------------------------------------------------------------------
// Badge and animator

int BadgeWidth(int TextWidth)
{
    return std::max(8, std::min(24, TextWidth) - 2);
}

void DoDrawBadge(TCanvas& Canvas, const TRect&, const TPoint& Position, const std::string& Text)
{
    Canvas.Brush().Style = bsClear;
    Canvas.Font().SetStyle({fsBold});
    Canvas.Font().SetSize(7);
    const int x = Position.X;
    const int y = Position.Y;
    const int w = BadgeWidth(Canvas.TextWidth(Text));
    const QImage& badge = MailBadgeImage();
    if (!badge.isNull()) {
        Canvas.Draw(x, y, badge.copy(0, 0, 8, 16));
        Canvas.Draw(x + w, y, badge.copy(16, 0, 8, 16));
        if (w > 8)
            Canvas.StretchDraw(Rect(x + 8, y + 1, x + w, y + 15), badge.copy(8, 1, 8, 14));
    }
    TRect text = Rect(x + 4, y + 1, x + w + 4, y + 17);
    const unsigned flags = DT_CENTER | DT_SINGLELINE | DT_VCENTER;
    Canvas.Font().SetColor(clBtnShadow);
    DrawText(Canvas, Text, text, flags);
    text = OffsetRect(text, 0, -1);
    Canvas.Font().SetColor(clWhite);
    DrawText(Canvas, Text, text, flags);
}

TAnimator::TAnimator()
{
    m_timer.SetEnabled(false);
    m_timer.OnTimer = [this](TTimer*) { DoAnimate(); };
}

TAnimator::~TAnimator()
{
    SetItem(nullptr);
}

void TAnimator::SetItem(TAnimatedItem* Item)
{
    if (TAnimatedItem* old = m_item.Get())
        old->OnDrawImage = nullptr;
    m_item = Item;
    if (Item) {
        Item->OnDrawImage = [this](TCanvas& canvas, const TRect& rect) { DrawAnimateImage(canvas, rect); };
    } else {
        m_timer.SetEnabled(false);
        m_step = -1;
    }
}

void TAnimator::SetAnimate(bool Value)
{
    if (!m_item.Get() || m_timeLine.empty())
        return;
    if (Value) {
        m_step = -1;
        DoAnimate();
    } else {
        m_timer.SetEnabled(false);
        m_step = -1;
        m_item.Get()->Invalidate();
    }
}

void TAnimator::DoAnimate()
{
    if (m_timeLine.empty())
        return;
    if (m_step > 0)
        if (TAnimatedItem* item = m_item.Get())
            item->Invalidate();
    ++m_step;
    if (m_step >= static_cast<int>(m_timeLine.size()))
        m_step = 0;
    m_timer.SetEnabled(false);
    m_timer.SetInterval(static_cast<uint32_t>(std::max(1, m_timeLine[static_cast<size_t>(m_step)])));
    m_timer.SetEnabled(true);
}

void TAnimator::DrawAnimateImage(TCanvas& Canvas, const TRect& ImageRect)
{
    if (!GetAnimate())
        return;
    const bool raised = m_step == 0 || m_step == 3;
    DoDrawBadge(Canvas, ImageRect, TPoint{0, raised ? 0 : 2}, m_text);
}

// ---------------------------------------------------------------------------
// Toolbar items and routines

QAction* TBXAddAction(QWidget* Parent, QAction* Action, TCustomImageList* Images, int ImageIndex, intptr_t Tag)
{
    auto* item = new QAction(Parent);
    auto follow = [item, Action] {
        item->setText(Action->text());
        item->setToolTip(Action->toolTip());
        item->setEnabled(Action->isEnabled());
        item->setVisible(Action->isVisible());
        item->setShortcut(Action->shortcut());
    };
    follow();
    QObject::connect(Action, &QAction::changed, item, follow);
    QObject::connect(item, &QAction::triggered, Action, [Action] { Action->trigger(); });
    if (Images && Images->ValidIndex(ImageIndex))
        item->setIcon(QIcon(QPixmap::fromImage(Images->GetImage(ImageIndex))));
    item->setData(QVariant::fromValue<qlonglong>(Tag));
    Parent->addAction(item);
    return item;
}

QAction* TBXAddSubItem(QWidget* Parent, const std::string& Caption, TCustomImageList* Images, int ImageIndex,
                       intptr_t Tag, const std::function<void(QAction*)>& OnClick)
{
    auto* item = new QAction(QString::fromStdString(Caption), Parent);
    item->setToolTip(PlainToolTip(Caption));
    if (Images && Images->ValidIndex(ImageIndex))
        item->setIcon(QIcon(QPixmap::fromImage(Images->GetImage(ImageIndex))));
    item->setData(QVariant::fromValue<qlonglong>(Tag));
    if (OnClick)
        QObject::connect(item, &QAction::triggered, item, [item, OnClick] { OnClick(item); });
    Parent->addAction(item);
    return item;
}

void DoLoadPngRes(QImage& Png, const std::string& Name)
{
    QImage image = LoadResourceImage(Name, rtRCData);
    if (image.isNull())
        throw Exception("Resource " + Name + " not found");
    Png = image;
}

void DisableRedraw(QWidget* Handle)
{
    if (Handle)
        Handle->setUpdatesEnabled(false);
}

void EnableRedraw(QWidget* Handle)
{
    if (!Handle)
        return;
    Handle->setUpdatesEnabled(true);
    Handle->repaint();
}
