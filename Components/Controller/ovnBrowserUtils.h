#pragma once
// What the main window and the module windows share (unit ovnBrowserUtils):
// the module entries of the signed-in database (`TModuleItems` of
// `TModuleItem`), the base of every module window (`TCustomModuleForm`), the
// icon manager that turns resource names into indexes of the main window's
// 32-pixel icon list (`TIconManager`), and the info-bar key pictures
// (`GetImageForKey`). Main thread only.

#include "platform/Collection.h"
#include "platform/Guarded.h"
#include "platform/ImageList.h"
#include "platform/StringList.h"
#include "platform/SysUtils.h"
#include "ui/KldAppItems.h"
#include "ui/ovnNamedList.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <string>

class TNembraFileCache;
class TModuleItem;
class TModuleItems;

// The base of every module window: the entry it was opened for (null for a
// window opened without one). A window that goes clears its entry's Form
// first, so the entry counts as closed.
class TCustomModuleForm : public QWidget, public TObject, public TGuarded
{
  public:
    TCustomModuleForm(QWidget* Parent, TModuleItem* Item);
    ~TCustomModuleForm() override;
    std::string ClassName() const override { return "TCustomModuleForm"; }

    TModuleItem* ModuleItem() const { return m_moduleItem.Get(); }
    // The entry's name, or the window's caption without an entry.
    virtual std::string GetModuleName() const;
    // Whether the window holds unsaved data; the base holds none.
    virtual bool GetModified() const { return false; }
    // Closes the window; False when it refused (it holds data it could not
    // let go of).
    virtual bool CloseExecute() { return close(); }
    // Forgets unsaved data; the base has none.
    virtual void ResetModify() {}
    // The entry's counter; -1 without an entry.
    int GetModuleCounter() const;

  private:
    TGuardedPtr<TModuleItem> m_moduleItem;
};

// Makes the window of a module entry (the class of window opened for it).
using TModuleFormClass = std::function<TCustomModuleForm*(QWidget* Owner, TModuleItem* Item)>;

// One module of the database.
class TModuleItem : public TCollectionItem, public TGuarded
{
  public:
    std::string ClassName() const override { return "TModuleItem"; }
    std::string DisplayName() const override { return Name; }

    std::string Name;
    // The server's C_MODULE; -100 for the built-in "System" module.
    int32_t Counter = 0;
    // Picture in the main window's icon list.
    int32_t ImageIndex = -1;
    TModuleFormClass FormClass;

    // The open window; null when closed.
    TCustomModuleForm* Form() const { return m_form.Get(); }
    void SetForm(TCustomModuleForm* Form) { m_form = Form; }
    // Its row in the main window's module list; null when not listed.
    TKldAppItem* AppItem() const { return m_appItem.Get(); }
    void SetAppItem(TKldAppItem* Item) { m_appItem = Item; }

    bool GetActive() const { return Form() != nullptr; }
    // Its window exists and reports unsaved data.
    bool GetModified() const;
    void ModuleClosed() { m_form = nullptr; }
    TModuleItems* Items() const;

  private:
    TGuardedPtr<TCustomModuleForm> m_form;
    TGuardedPtr<TKldAppItem> m_appItem;
};

// The module entries of the main window. Entries are added by the database
// sign-in and stay across database sign-ins; a later one matches them by
// counter.
class TModuleItems : public TCollection
{
  public:
    TModuleItems();
    ~TModuleItems() override;
    std::string ClassName() const override { return "TModuleItems"; }

    TModuleItem* Add(const std::string& Name, int32_t Counter);
    TModuleItem* Items(int Index) const { return static_cast<TModuleItem*>(TCollection::Items(Index)); }
    // The first entry of that name (case ignored) / counter; null when none.
    TModuleItem* Find(const std::string& Name) const;
    TModuleItem* Find(int32_t Counter) const;
    // The same, raising "Module \"%s\" not found" / "Module not found.
    // Counter = \"%d\"" when there is none.
    TModuleItem& ModuleByName(const std::string& Name) const;
    TModuleItem& ModuleByCounter(int32_t Counter) const;

    // For an open entry: its window's CloseExecute; a window that closed is
    // forgotten and its list row loses the isStarted state. A window that
    // refused stays the entry's (ActiveCount tells the caller).
    void CloseModule(TModuleItem& Item);
    // Every entry in order: with Forget an open window forgets its unsaved
    // data first; then CloseModule.
    void Close(bool Forget);
    // The first entry whose window holds unsaved data; null when none.
    TModuleItem* Modified() const;
    int ActiveCount() const;
    // Empties Groups and ModuleNames and lets every entry forget its window
    // and its list row, without closing or removing anything.
    void ClearLayout();

    // The module-group layout of the database.
    TNamedList& Groups() { return m_groups; }
    // Module names with their module-list rows as objects: the choice list
    // of the groups editor.
    TStringList& ModuleNames() { return m_moduleNames; }

  protected:
    // An entry removed while open closes its module first.
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

  private:
    TNamedList m_groups;
    TStringList m_moduleNames;
};

// Icons by resource name, loaded into one image list in the order they are
// first asked for: the position of a name is the index of its picture.
class TIconManager : public TStringList
{
  public:
    TIconManager(TCustomImageList* ImageList, TNembraFileCache* FileCache);
    ~TIconManager() override;
    std::string ClassName() const override { return "TIconManager"; }

    // The picture's index; Default for an empty name, a file that cannot be
    // had or loaded, or any failure (a failed name is tried again next
    // time). A new name is fetched through the cache and loaded by its
    // extension: ".bmp" masked with its bottom-left pixel's colour, ".png"
    // with its alpha; other files are not loaded.
    int GetIconIndex(const std::string& IconName, int Default);
    // Empties the names and the image list.
    void Clear() override;

  private:
    TImageListRef m_imageList;
    TNembraFileCache* m_fileCache;
};

// The unread-mail badge (24 x 16, with alpha): a left cap (columns 0-7), a
// middle (8-15) and a right cap (16-23). One per process; the main window
// fills it from the picture "KLD_MAIL_NOTIFY" at its creation.
QImage& MailBadgeImage();

// The 16-pixel picture of an info-bar key (case ignored): "FACILITY" and
// "DEFAULT_FACILITY" 9, "RESIDENT" 10, "CURRENT_PERIOD" 11, else -1.
int32_t GetImageForKey(const std::string& Key);
