#include "Components/Controller/ovnBrowserUtils.h"

#include "Components/Nembra/NembraFileCache.h"
#include "platform/FileUtils.h"

#include <QImage>

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

TModuleItems* TModuleItem::Items() const
{
    return static_cast<TModuleItems*>(Collection());
}

// ---------------------------------------------------------------------------
// TModuleItems

TModuleItems::TModuleItems() : TCollection(CollectionItemClass<TModuleItem>())
{
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
